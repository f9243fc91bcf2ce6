// Test entry point: every test gets a host root of its own below the one CTest names, so tests
// that run side by side never see each other's registry or device list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class PerTestHostRoot : public testing::EmptyTestEventListener {
public:
    explicit PerTestHostRoot(std::string base) : m_base(std::move(base)) {}

    void OnTestStart(const testing::TestInfo& info) override {
        std::string root = m_base + "/" + info.test_suite_name() + "." + info.name();
        for (char& c : root)
            if (c == '\\' || c == ':' || c == ' ') c = '_';
        setenv("YRA_HOST_ROOT", root.c_str(), 1);
    }

private:
    std::string m_base;
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    if (const char* base = std::getenv("YRA_HOST_ROOT"); base && *base)
        testing::UnitTest::GetInstance()->listeners().Append(new PerTestHostRoot(base));
    return RUN_ALL_TESTS();
}
