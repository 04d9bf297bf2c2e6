// qb_socket_peer: the other user's process in the single-instance tests, plain POSIX sockets.
//   qb_socket_peer listen @NAME|PATH [drop]  listens (abstract name with '@'); with "drop" it
//                                             binds as the caller, then becomes nobody before
//                                             listen(); prints "ready", then "got:<bytes>" for
//                                             each connection; ends after 20 s or when stdin ends
//   qb_socket_peer send PATH WORD             connects, sends WORD, prints "sent" (exit 0) or
//                                             "refused" (exit 1)
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {
socklen_t Address(const std::string& name, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (!name.empty() && name[0] == '@') { // abstract: a leading NUL
        std::memcpy(addr.sun_path + 1, name.data() + 1, name.size() - 1);
        return socklen_t(offsetof(sockaddr_un, sun_path) + name.size());
    }
    std::memcpy(addr.sun_path, name.data(), name.size());
    return socklen_t(sizeof addr);
}

int Listen(const std::string& name, bool drop) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr;
    const socklen_t len = Address(name, addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        std::perror("bind");
        return 2;
    }
    if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
        std::perror("drop");
        return 2;
    }
    if (::listen(fd, 8) != 0) {
        std::perror("listen");
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const std::time_t end = std::time(nullptr) + 20;
    while (std::time(nullptr) < end) {
        pollfd p[2] = {{fd, POLLIN, 0}, {0, POLLIN, 0}};
        if (::poll(p, 2, 200) <= 0) continue;
        if (p[1].revents) {
            char b;
            if (::read(0, &b, 1) <= 0) break;
        }
        if (!(p[0].revents & POLLIN)) continue;
        const int c = ::accept(fd, nullptr, nullptr);
        if (c < 0) continue;
        char buf[64];
        pollfd q{c, POLLIN, 0};
        ssize_t got = ::poll(&q, 1, 1000) > 0 ? ::read(c, buf, sizeof buf) : 0;
        std::printf("got:%.*s\n", int(got > 0 ? got : 0), buf);
        std::fflush(stdout);
        ::close(c);
    }
    return 0;
}

int Send(const std::string& name, const std::string& word) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr;
    const socklen_t len = Address(name, addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        std::printf("refused\n");
        return 1;
    }
    (void)!::write(fd, word.data(), word.size());
    ::usleep(300 * 1000);
    std::printf("sent\n");
    ::close(fd);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "listen")
        return Listen(argv[2], argc >= 4 && std::string(argv[3]) == "drop");
    if (argc >= 4 && std::string(argv[1]) == "send") return Send(argv[2], argv[3]);
    std::fprintf(stderr, "usage: qb_socket_peer listen @NAME|PATH [drop] | send PATH WORD\n");
    return 2;
}
