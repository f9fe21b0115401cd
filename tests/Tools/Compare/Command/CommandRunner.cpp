#include "CommandRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Orvid::Testing::Compare {

std::string contentsOf(const std::filesystem::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

Outcome run(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
            const std::string& prefix) {
    std::string command = prefix + " " + ORVID_COMPARE;
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    command += " >'" + (folder / "stdout.txt").string() + "' 2>'" + (folder / "stderr.txt").string() + "'";
    const int status = std::system(("sh -c \"" + command + "\"").c_str());
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentsOf(folder / "stdout.txt"),
                    contentsOf(folder / "stderr.txt")};
    EXPECT_EQ(outcome.err.find("Sanitizer"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find("runtime error"), std::string::npos) << outcome.err;
    return outcome;
}

pid_t start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ORVID_COMPARE);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawn(&pid, ORVID_COMPARE, nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

int exitStatusOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace Orvid::Testing::Compare
