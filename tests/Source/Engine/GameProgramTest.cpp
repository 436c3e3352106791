// The game as the player starts it: the program itself, run from the repository root under the
// test's X server, opens its full-screen window and runs its frames; asked to close by the window
// manager's close message, it ends with exit code 0. The program is run as this build made it, so
// under AddressSanitizer the exit code also says that the leak check at exit found nothing.
#include "X11CloseRequest.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// Generous: a sanitizer build starts slowly on a busy machine.
constexpr std::chrono::seconds kPatience{120};
constexpr std::chrono::milliseconds kPollInterval{50};

// The title the frame loop gives the window once frames run.
constexpr const char* kRunningTitle = "Korvane Pellar";

pid_t StartGame()
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        // Only calls that are safe between fork and exec.
        if (chdir(KP_SOURCE_DIR) == 0)
        {
            execl(KP_GAME_PROGRAM, KP_GAME_PROGRAM, static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    return pid;
}

// The exit status of `pid` once it ends, or nothing when it has not ended in time.
std::optional<int> WaitForExit(pid_t pid)
{
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline)
    {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
        {
            return status;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return std::nullopt;
}

TEST(GameProgram, EndsWithZeroWhenItsWindowIsClosed)
{
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    int earlyStatus = 0;
    bool endedEarly = false;
    const bool closed = kp::test::RequestCloseOfWindow(game, kRunningTitle, kPatience,
                                                       [&]
                                                       {
                                                           endedEarly =
                                                               waitpid(game, &earlyStatus, WNOHANG) == game;
                                                           return endedEarly;
                                                       });
    if (endedEarly)
    {
        FAIL() << "the game ended before its window ran, status " << earlyStatus;
    }
    if (!closed)
    {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
        FAIL() << "no running window of the game";
    }
    const std::optional<int> status = WaitForExit(game);
    if (!status)
    {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
        FAIL() << "the game did not end after its window was closed";
    }
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}
} // namespace
