#pragma once

#include <csignal>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::ui::testing {

// A private Xvfb server on the first free display number, stopped with the
// object. Started before the application object, so that Qt's xcb platform
// connects to it.
class XServer {
public:
    XServer()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            // A test that crashes must not leave its server behind.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes its display number once it accepts connections.
        char buffer[16] = {};
        std::size_t used = 0;
        while (pid_ > 0 && used < sizeof buffer - 1) {
            const ssize_t got = read(fds[0], buffer + used, sizeof buffer - 1 - used);
            if (got <= 0)
                break;
            used += static_cast<std::size_t>(got);
            if (buffer[used - 1] == '\n')
                break;
        }
        close(fds[0]);
        if (used > 1 && buffer[used - 1] == '\n')
            display_ = ":" + std::string(buffer, used - 1);
    }

    ~XServer()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace tarnwick::ui::testing
