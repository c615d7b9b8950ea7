// SPDX-License-Identifier: MIT
// The runner tests' child program. Its arguments are steps, done from left to right:
//   print TEXT          write TEXT (escapes: \n \r \t \0 \\ \xHH), no line end added
//   err TEXT            the same on standard error
//   lines N EOL [noeol] write "line1".."lineN", each ended by EOL (lf, crlf, cr); noeol: the
//                       last one without line end
//   split K TEXT        write the first K bytes of TEXT, pause 30 ms, write the rest
//   bigline BYTES       write one line of BYTES letters A and a LF
//   nullines N          write "row\0" K LF for K = 0 .. N-1 (a NUL in every line)
//   pieces N US         write "<tr><td>", flush, pause US microseconds, write K "</td></tr>" LF
//                       and flush, for K = 0 .. N-1: every line arrives in two pieces
//   sleep MS            pause
//   waitfile PATH       pause until PATH exists
//   touch PATH          create the empty file PATH
//   exit CODE           exit with CODE
//   flood               write lines without end
//   hang                sleep forever
//   crash SIG           raise the signal SIG
//   echo                copy standard input to standard output, line by line, until end of file
//   readline            read one line from standard input, write "got:" and it with LF
//   closein             close standard input
//   fds                 write the open descriptors, one "fd N" line each
//   env NAME            write "NAME=value" (or "NAME unset") with LF
//   pwd                 write the working directory with LF
//   grandchild MS       start a grandchild (through the shell, in the background) that sleeps
//                       MS while holding standard output, and write "grandchild started" LF
// Output is flushed after every step. Standard C++ only.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

namespace {

std::string Unescape(const char *AText) {
    std::string out;
    for (const char *p = AText; *p; ++p) {
        if (*p != '\\' || !p[1]) {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x': {
            char hex[3] = {p[1], p[1] ? p[2] : '\0', '\0'};
            out += static_cast<char>(std::strtol(hex, nullptr, 16));
            p += 2;
            break;
        }
        default:
            out += '\\';
            out += *p;
            break;
        }
    }
    return out;
}

void Write(FILE *AFile, const std::string &AText) {
    std::fwrite(AText.data(), 1, AText.size(), AFile);
    std::fflush(AFile);
}

void Sleep(long AMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(AMs));
}

} // namespace

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : ""; };
        if (step == "print") {
            Write(stdout, Unescape(next()));
        } else if (step == "err") {
            Write(stderr, Unescape(next()));
        } else if (step == "lines") {
            long n = std::atol(next());
            std::string eolName = next();
            const char *eol = eolName == "crlf" ? "\r\n" : eolName == "cr" ? "\r" : "\n";
            bool noEol = i + 1 < argc && std::strcmp(argv[i + 1], "noeol") == 0;
            if (noEol) ++i;
            for (long k = 1; k <= n; ++k) {
                std::fputs("line", stdout);
                std::fputs(std::to_string(k).c_str(), stdout);
                if (k < n || !noEol) std::fputs(eol, stdout);
            }
            std::fflush(stdout);
        } else if (step == "split") {
            size_t k = static_cast<size_t>(std::atol(next()));
            std::string text = Unescape(next());
            Write(stdout, text.substr(0, k));
            Sleep(30);
            Write(stdout, text.substr(std::min(k, text.size())));
        } else if (step == "bigline") {
            Write(stdout, std::string(static_cast<size_t>(std::atol(next())), 'A') + "\n");
        } else if (step == "nullines") {
            long n = std::atol(next());
            for (long k = 0; k < n; ++k) {
                std::fwrite("row\0", 1, 4, stdout);
                std::fputs((std::to_string(k) + "\n").c_str(), stdout);
            }
            std::fflush(stdout);
        } else if (step == "pieces") {
            long n = std::atol(next());
            long us = std::atol(next());
            for (long k = 0; k < n; ++k) {
                Write(stdout, "<tr><td>");
                if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
                Write(stdout, std::to_string(k) + "</td></tr>\n");
            }
        } else if (step == "waitfile") {
            const std::filesystem::path path = next();
            while (!std::filesystem::exists(path))
                Sleep(2);
        } else if (step == "touch") {
            std::FILE *f = std::fopen(next(), "w");
            if (f) std::fclose(f);
        } else if (step == "sleep") {
            Sleep(std::atol(next()));
        } else if (step == "exit") {
            std::fflush(stdout);
            return std::atoi(next());
        } else if (step == "flood") {
            for (;;)
                std::fputs("flooding without end ", stdout);
        } else if (step == "hang") {
            for (;;)
                Sleep(1000);
        } else if (step == "crash") {
            std::fflush(stdout);
            std::raise(std::atoi(next()));
            Sleep(5000);
        } else if (step == "echo") {
            std::string line;
            while (std::getline(std::cin, line))
                Write(stdout, line + "\n");
        } else if (step == "readline") {
            std::string line;
            std::getline(std::cin, line);
            Write(stdout, "got:" + line + "\n");
        } else if (step == "closein") {
            std::fclose(stdin);
        } else if (step == "fds") {
            for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
                std::printf("fd %s\n", entry.path().filename().c_str());
            std::fflush(stdout);
        } else if (step == "env") {
            const char *name = next();
            const char *value = std::getenv(name);
            Write(stdout, value ? std::string(name) + "=" + value + "\n" : std::string(name) + " unset\n");
        } else if (step == "pwd") {
            Write(stdout, std::filesystem::current_path().string() + "\n");
        } else if (step == "grandchild") {
            std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
            std::string command = "'" + self + "' sleep " + next() + " &";
            std::fflush(stdout);
            if (std::system(command.c_str()) != 0) return 99;
            Write(stdout, "grandchild started\n");
        } else {
            std::fprintf(stderr, "test_child: unknown step %s\n", step.c_str());
            return 98;
        }
    }
    std::fflush(stdout);
    return 0;
}
