#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <system_error>

namespace kit {

ScratchFolder::ScratchFolder(const std::string& prefix) {
    std::string name = prefix;
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name += std::string("_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
    }
    std::string tmpl = (std::filesystem::temp_directory_path() / (name + "_XXXXXX")).string();
    if (char* p = mkdtemp(tmpl.data()))
        path_ = p;
    else
        ADD_FAILURE() << "cannot create a scratch folder " << tmpl;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

} // namespace kit
