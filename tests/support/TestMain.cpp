#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Tests never touch the user's own registry or profiles.
    static char registry[] = "/tmp/morvane-test-XXXXXX";
    if (!std::getenv("KESTRIN_REGISTRY_DIR") && mkdtemp(registry)) {
        setenv("KESTRIN_REGISTRY_DIR", (std::string(registry) + "/registry").c_str(), 1);
        setenv("KESTRIN_PROFILE_DIR", (std::string(registry) + "/profile").c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
