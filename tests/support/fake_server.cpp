#include "tests/support/fake_server.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <thread>

namespace nembit {

namespace {

// The few socket calls that differ between platforms.
#if defined(_WIN32)
using NativeSocket = SOCKET;
constexpr int kNoSignal = 0;
int close_socket(NativeSocket socket) { return ::closesocket(socket); }
int poll_one(pollfd* entry, int milliseconds) { return ::WSAPoll(entry, 1, milliseconds); }
void start_sockets() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
}
#else
using NativeSocket = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
int close_socket(NativeSocket socket) { return ::close(socket); }
int poll_one(pollfd* entry, int milliseconds) { return ::poll(entry, 1, milliseconds); }
void start_sockets() {}
#endif

using namespace std::chrono_literals;

// Whether `request` is whole: a REGISTER ends after its last notification
// block, a NOTIFY at its first empty line.
bool complete(const std::string& request) {
  size_t blocks = 1;
  if (request.starts_with("GNTP/1.0 REGISTER")) {
    const size_t count = request.find("Notifications-Count: ");
    if (count == std::string::npos) return false;
    blocks += std::stoul(request.substr(count + 21));
  }
  size_t ends = 0;
  for (size_t at = request.find("\r\n\r\n"); at != std::string::npos;
       at = request.find("\r\n\r\n", at + 4)) {
    ++ends;
  }
  return ends >= blocks;
}

}  // namespace

struct FakeServer::State {
  std::vector<Step> steps;
  std::vector<std::string> requests;
  NativeSocket listener{};
  bool ok = false;
  uint16_t port = 0;
  std::atomic<bool> stop = false;
  std::thread thread;

  bool wait_readable(NativeSocket socket) const {
    while (!stop) {
      pollfd entry{socket, POLLIN, 0};
      if (poll_one(&entry, 20) > 0) return true;
    }
    return false;
  }

  static void send_all(NativeSocket client, const std::string& bytes) {
    ::send(client, bytes.data(), static_cast<int>(bytes.size()), kNoSignal);
  }

  void answer(NativeSocket client, const Step& step) const {
    switch (step.kind) {
      case Reply::kScripted:
        send_all(client, step.bytes);
        break;
      case Reply::kDelayed:
        for (auto waited = 0ms; waited < step.delay && !stop; waited += 10ms) {
          std::this_thread::sleep_for(10ms);
        }
        send_all(client, step.bytes);
        wait_readable(client);  // Until the client has read and closed.
        break;
      case Reply::kTrickle:
        for (size_t i = 0; i < step.bytes.size() && !stop; ++i) {
          if (::send(client, &step.bytes[i], 1, kNoSignal) != 1) break;
          std::this_thread::sleep_for(50ms);
        }
        break;
      case Reply::kKeepOpen:
        send_all(client, step.bytes);
        wait_readable(client);
        break;
      case Reply::kSilent:
        wait_readable(client);  // Until the client gives up and closes.
        break;
      case Reply::kCloseAtOnce:
        break;
    }
  }

  void serve() {
    for (const Step& step : steps) {
      if (!wait_readable(listener)) return;
      const NativeSocket client = ::accept(listener, nullptr, nullptr);
      std::string request;
      char buffer[4096];
      while (!complete(request) && wait_readable(client)) {
        const auto got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
      }
      requests.push_back(request);
      answer(client, step);
      close_socket(client);
    }
  }
};

FakeServer::FakeServer(std::vector<Step> steps, bool ipv6) : state_(std::make_unique<State>()) {
  start_sockets();
  State& state = *state_;
  state.steps = std::move(steps);
  state.listener = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (ipv6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    in6.sin6_addr = in6addr_loopback;
    length = sizeof in6;
  } else {
    auto& in = reinterpret_cast<sockaddr_in&>(address);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof in;
  }
  state.ok = ::bind(state.listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
             ::listen(state.listener, 8) == 0 &&
             ::getsockname(state.listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (!state.ok) return;
  state.port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                          : reinterpret_cast<sockaddr_in&>(address).sin_port);
  state.thread = std::thread([&state] { state.serve(); });
}

FakeServer::~FakeServer() {
  state_->stop = true;
  if (state_->thread.joinable()) state_->thread.join();
  close_socket(state_->listener);
}

bool FakeServer::ok() const { return state_->ok; }

std::string FakeServer::port() const { return std::to_string(state_->port); }

const std::vector<std::string>& FakeServer::requests() {
  state_->stop = true;
  if (state_->thread.joinable()) state_->thread.join();
  return state_->requests;
}

}  // namespace nembit
