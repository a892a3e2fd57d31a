#pragma once
#include "gui/DirizaResultView.h"

#include <memory>

// The result view of a system data type (its type number), or nothing for another type.
std::unique_ptr<DirizaResultView> MakeSystemResultView(int type);
