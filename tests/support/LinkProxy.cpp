// arq-link-proxy: a TCP proxy between a bench and its database server that
// fails the way networks do, on command.
//
//   arq-link-proxy TARGET_HOST TARGET_PORT
//
// Prints "PORT <n>" (the loopback port it listens on), then reads commands
// on stdin, each answered "OK <command>":
//   swallow            every byte from now on is taken and never forwarded,
//                      either way (packets lost on the way: the sender's TCP
//                      sees them acknowledged, no answer ever comes)
//   pass               forward again; links that lost bytes are closed
//   drop-after-commit  the next COMMIT goes to the server, the server's
//                      answer is thrown away and both sides are closed
//                      (the commit's outcome unknown to the client)
//   quit

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Link
{
    int client = -1;
    int server = -1;
    bool lostBytes = false;
    bool commitSent = false; // waiting for the server's answer to drop it
};

int connectTo(const char* host, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (fd < 0 || inet_pton(AF_INET, host, &a.sin_addr) != 1
        || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* data, ssize_t n)
{
    while (n > 0) {
        const ssize_t w = ::send(fd, data, static_cast<size_t>(n), MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        data += w;
        n -= w;
    }
    return true;
}

void closeLink(Link& l)
{
    if (l.client >= 0)
        ::close(l.client);
    if (l.server >= 0)
        ::close(l.server);
    l.client = l.server = -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: arq-link-proxy TARGET_HOST TARGET_PORT\n");
        return 2;
    }
    const char* host = argv[1];
    const int port = std::atoi(argv[2]);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 64) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        std::perror("arq-link-proxy");
        return 1;
    }
    std::printf("PORT %d\n", ntohs(a.sin_port));
    std::fflush(stdout);

    bool swallow = false, dropNextCommit = false;
    std::vector<Link> links;
    std::string command;
    char buffer[65536];
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        for (const Link& l : links) {
            fds.push_back({l.client, POLLIN, 0});
            fds.push_back({l.server, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 1000) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int c = ::accept(listener, nullptr, nullptr);
            const int s = c >= 0 ? connectTo(host, port) : -1;
            if (s >= 0)
                links.push_back(Link{c, s, swallow, false});
            else if (c >= 0)
                ::close(c);
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                break;
            command.append(buffer, static_cast<size_t>(n));
            size_t nl;
            while ((nl = command.find('\n')) != std::string::npos) {
                const std::string c = command.substr(0, nl);
                command.erase(0, nl + 1);
                if (c == "quit")
                    return 0;
                if (c == "swallow") {
                    swallow = true;
                } else if (c == "pass") {
                    swallow = false;
                    for (Link& l : links)
                        if (l.lostBytes)
                            closeLink(l);
                } else if (c == "drop-after-commit") {
                    dropNextCommit = true;
                }
                std::printf("OK %s\n", c.c_str());
                std::fflush(stdout);
            }
        }
        for (size_t i = 0; i < links.size(); ++i) {
            Link& l = links[i];
            const short fromClient = fds[2 + 2 * i].revents, fromServer = fds[3 + 2 * i].revents;
            if (l.client >= 0 && (fromClient & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::recv(l.client, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    closeLink(l);
                    continue;
                }
                if (swallow) {
                    l.lostBytes = true;
                } else {
                    // A simple-query COMMIT: 'Q', its length (4 + 7), the text and its NUL.
                    static const char kCommit[] = {'Q', 0, 0, 0, 11, 'C', 'O', 'M', 'M', 'I', 'T', 0};
                    const bool commit = dropNextCommit
                                        && memmem(buffer, static_cast<size_t>(n), kCommit, sizeof kCommit);
                    if (!sendAll(l.server, buffer, n)) {
                        closeLink(l);
                        continue;
                    }
                    if (commit) {
                        dropNextCommit = false;
                        l.commitSent = true;
                    }
                }
            }
            if (l.server >= 0 && (fromServer & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::recv(l.server, buffer, sizeof buffer, 0);
                if (n <= 0 || l.commitSent) {
                    // The server answered the COMMIT: the client never hears it.
                    if (l.commitSent) {
                        std::printf("DROPPED after commit\n");
                        std::fflush(stdout);
                    }
                    closeLink(l);
                    continue;
                }
                if (swallow)
                    l.lostBytes = true;
                else if (!sendAll(l.client, buffer, n))
                    closeLink(l);
            }
        }
        std::vector<Link> open;
        for (const Link& l : links)
            if (l.client >= 0)
                open.push_back(l);
        links.swap(open);
    }
    return 0;
}
