// The game as the player starts it: the program itself, run from the repository root under the
// test's X server, opens its full-screen window and runs its frames for 15 s, with its sound on
// the machine's sound system (on a machine without a sound card, silently: the engine's own
// pacing); asked to close by the window manager's close message, it ends with exit code 0, and its
// sound start-up reported nothing. The program is run as this build made it, so under
// AddressSanitizer the exit code also says that the leak check at exit found nothing.
#include "X11CloseRequest.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
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

constexpr std::chrono::seconds kRunningTime{15};
const std::string kErrorLog = std::string(KP_TEST_OUTPUT_DIR) + "/game_program_stderr.txt";

// The program's standard error goes to kErrorLog.
pid_t StartGame()
{
    const int errorLog = open(kErrorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = fork();
    if (pid == 0)
    {
        // Only calls that are safe between fork and exec.
        if (errorLog >= 0)
            dup2(errorLog, STDERR_FILENO);
        if (chdir(KP_SOURCE_DIR) == 0)
        {
            execl(KP_GAME_PROGRAM, KP_GAME_PROGRAM, static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    if (errorLog >= 0)
        close(errorLog);
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
    // The game plays for a while first (a scripted quit after 15 s).
    const auto playUntil = Clock::now() + kRunningTime;
    while (Clock::now() < playUntil && !endedEarly)
    {
        endedEarly = waitpid(game, &earlyStatus, WNOHANG) == game;
        std::this_thread::sleep_for(kPollInterval);
    }
    const bool closed = !endedEarly && kp::test::RequestCloseOfWindow(game, kRunningTitle, kPatience,
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
    std::ostringstream errors;
    errors << std::ifstream(kErrorLog).rdbuf();
    EXPECT_EQ(errors.str().find("Source/TEAudio"), std::string::npos) << errors.str();
}
} // namespace
