#include "core/sqlite/CarverState.h"

CarverState::CarverState() = default;

CarverState::~CarverState() = default;
