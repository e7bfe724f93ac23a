#include "cli/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// What the terminal side of a pseudo-terminal has received so far.
std::string drain(int fd)
{
    std::string text;
    char buffer[256];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

} // namespace

TEST(ProgressTest, NothingIsShownWhenTheStreamIsNotATerminal)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        Progress progress(file);
        EXPECT_FALSE(progress.enabled());
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        progress.update("recording", 0.5);
    }
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
}

TEST(ProgressTest, OnATerminalOnlyWorkLongerThanASecondIsShownAndThenCleared)
{
    int terminal = -1, user = -1;
    ASSERT_EQ(openpty(&terminal, &user, nullptr, nullptr, nullptr), 0);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::FILE* stream = fdopen(user, "w");
    ASSERT_NE(stream, nullptr);
    {
        Progress progress(stream);
        EXPECT_TRUE(progress.enabled());
        progress.update("recording", 0.25);
        EXPECT_EQ(drain(terminal), "") << "quiet during the first second";
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        progress.update("rendering", 0.5);
        std::string shown = drain(terminal);
        EXPECT_NE(shown.find("rendering  50%"), std::string::npos) << shown;
        EXPECT_EQ(shown.find('\n'), std::string::npos) << "redrawn in place";
    }
    std::string cleared = drain(terminal);
    EXPECT_NE(cleared.find("\r\033[K"), std::string::npos);
    std::fclose(stream);
    close(terminal);
}
