#pragma once
#include <cstdint>
#include <string>

// One queued usage event of the reporter.
struct CUserActionLog {
    std::string code;  // UTF-8
    std::string value; // UTF-8
    uint32_t times = 0;
    uint32_t mode = 1; // 1 without a value, 2 with a value
};
