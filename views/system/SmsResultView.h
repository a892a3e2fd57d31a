#pragma once
#include "gui/DirizaResultView.h"

#include <memory>

// The result view of the SMS type (type number 5).
std::unique_ptr<DirizaResultView> MakeSmsResultView();
