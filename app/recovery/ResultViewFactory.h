#pragma once
#include "gui/DirizaResultView.h"

#include <functional>
#include <memory>

// Makes the result view of a type number (0 to 14), its type set. The application plugs
// in the views of the view libraries; the recovery page itself knows only this
// interface. A factory that gives nothing for a type gets the application's view there.
using ResultViewFactory = std::function<std::unique_ptr<DirizaResultView>(int type)>;
