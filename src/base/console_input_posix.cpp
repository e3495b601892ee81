// What the operator types at a terminal: a password without echo, Ctrl+C.
#include "base/console.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace tarnwick {

std::optional<std::string> ReadHiddenLine()
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    termios shown{};
    const bool echoOff = ::tcgetattr(STDIN_FILENO, &shown) == 0;
    if (echoOff) {
        termios hidden = shown;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        hidden.c_lflag |= ECHONL;
        // TCSANOW: what was typed already (a fast typist, a script) is kept.
        ::tcsetattr(STDIN_FILENO, TCSANOW, &hidden);
    }
    std::string line;
    bool ended = false;
    for (;;) {
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ended = true;
            break;
        }
        if (c == '\n')
            break;
        line += c;
    }
    if (echoOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &shown);
    if (ended && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

namespace {
// A signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;
struct sigaction previousAction;

void OnInterrupt(int) { interrupted = 1; }
} // namespace

InterruptCatcher::InterruptCatcher()
{
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousAction);
}

InterruptCatcher::~InterruptCatcher() { ::sigaction(SIGINT, &previousAction, nullptr); }

bool InterruptCatcher::Interrupted() const { return interrupted != 0; }

} // namespace tarnwick
