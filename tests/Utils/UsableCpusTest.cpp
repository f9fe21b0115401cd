#include <Utils/UsableCpus.h>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/// Runs `check` in a child process, whose affinity mask it may narrow without touching this one's;
/// returns the child's exit status (-1 when it did not exit).
template <typename Check>
int inChild(Check check) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(UsableCpus, CountsTheCpusOfTheAffinityMaskNotTheMachines) {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    ASSERT_EQ(::sched_getaffinity(0, sizeof(mask), &mask), 0);
    EXPECT_EQ(Orvid::Utils::usableCpuCount(), static_cast<unsigned>(CPU_COUNT(&mask)));
    std::size_t first = 0;
    while (!CPU_ISSET(first, &mask)) {
        ++first;
    }
    // Narrowed to one CPU of its mask, the child may use one, however many the machine has.
    EXPECT_EQ(inChild([first] {
                  cpu_set_t one;
                  CPU_ZERO(&one);
                  CPU_SET(first, &one);
                  if (::sched_setaffinity(0, sizeof(one), &one) != 0) {
                      return 2;
                  }
                  return Orvid::Utils::usableCpuCount() == 1 ? 0 : 1;
              }),
              0);
}

} // namespace
