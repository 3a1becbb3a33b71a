// SPDX-License-Identifier: MIT
#pragma once

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <utility>

// ponpira-board on a port of 127.0.0.1 that it chooses itself, until it is stopped.
class BoardProcess {
  public:
    // The shell prints its process number, which the board keeps when the shell becomes it.
    BoardProcess(const std::string& exe, const std::string& options)
        : out_(popen(("echo $$; exec " + exe + " --port=0 " + options).c_str(), "r")) {
        if (!out_ ||
            std::fscanf(out_, "%d listening on http://127.0.0.1:%d/", &pid_, &port_) != 2) {
            stop(SIGKILL);
            throw std::runtime_error("ponpira-board did not start");
        }
    }
    ~BoardProcess() { stop(); }
    // Sends the signal (0: waits for the board to end by itself); the exit status, or -1.
    int stop(int signal = SIGTERM) {
        if (!out_)
            return -1;
        if (pid_ > 0 && signal)
            kill(pid_, signal);
        const int status = pclose(std::exchange(out_, nullptr));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int port() const { return port_; }

  private:
    FILE* out_;
    pid_t pid_ = -1;
    int port_ = 0;
};
