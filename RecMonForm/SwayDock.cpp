#include "SwayDock.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <array>
#include <cstdlib>
#include <cstring>

namespace recmon {

namespace {

// The i3 IPC protocol: "i3-ipc", the payload's length and the message type
// (both 32-bit, in the machine's byte order), then the payload.
constexpr std::array<char, 6> Magic = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t HeaderSize = Magic.size() + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t RunCommand = 0;
constexpr std::uint32_t GetTree = 4;
// sway answers within milliseconds; a compositor that hangs must not hang
// the monitor's refresh.
constexpr int AnswerTimeoutMs = 250;
// Layout trees of real desktops are tens of kilobytes.
constexpr std::uint32_t LongestAnswer = 16U << 20;

TArea AreaOf(const QJsonValue& rect) {
  const QJsonObject r = rect.toObject();
  return {r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
          r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt()};
}

std::optional<TSwayWindow> Find(const QJsonObject& node, long long pid, const TArea& workspace) {
  const TArea here = node.value(QStringLiteral("type")).toString() == QStringLiteral("workspace")
                         ? AreaOf(node.value(QStringLiteral("rect")))
                         : workspace;
  if (node.value(QStringLiteral("pid")).toInteger(-1) == pid) {
    // rect holds the window and its borders, deco_rect the title bar above
    // them, window_rect the window within rect.
    const TArea rect = AreaOf(node.value(QStringLiteral("rect")));
    const TArea title = AreaOf(node.value(QStringLiteral("deco_rect")));
    const TArea inner = AreaOf(node.value(QStringLiteral("window_rect")));
    return TSwayWindow{node.value(QStringLiteral("id")).toInteger(),
                       {rect.Left, rect.Top - title.Height, rect.Width, rect.Height + title.Height},
                       {rect.Left + inner.Left, rect.Top + inner.Top, inner.Width, inner.Height},
                       here,
                       node.value(QStringLiteral("focused")).toBool()};
  }
  for (const auto* children : {"nodes", "floating_nodes"}) {
    for (const QJsonValue& child : node.value(QLatin1String(children)).toArray()) {
      if (auto found = Find(child.toObject(), pid, here)) {
        return found;
      }
    }
  }
  return std::nullopt;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) {
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, AnswerTimeoutMs) != 1) {
      return false;
    }
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got <= 0) {
      return false;
    }
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::optional<TSwayWindow> FindSwayWindow(const QJsonObject& tree, long long pid) {
  return Find(tree, pid, AreaOf(tree.value(QStringLiteral("rect"))));
}

std::optional<long long> FocusedSwayWindow(const QJsonObject& tree) {
  if (tree.value(QStringLiteral("focused")).toBool()) {
    return tree.value(QStringLiteral("id")).toInteger();
  }
  for (const auto* children : {"nodes", "floating_nodes"}) {
    for (const QJsonValue& child : tree.value(QLatin1String(children)).toArray()) {
      if (auto found = FocusedSwayWindow(child.toObject())) {
        return found;
      }
    }
  }
  return std::nullopt;
}

TArea DockedOuter(const TSwayWindow& window, int contentWidth, int contentHeight) {
  const int left = window.Content.Left - window.Outer.Left;
  const int top = window.Content.Top - window.Outer.Top;
  const int right = window.Outer.Right() - window.Content.Right();
  const int bottom = window.Outer.Bottom() - window.Content.Bottom();
  const int width = left + contentWidth + right;
  const int height = top + contentHeight + bottom;
  return {window.Workspace.Right() - width, window.Workspace.Bottom() - height, width, height};
}

std::unique_ptr<TSwayDock> TSwayDock::Connect() {
  const char* path = std::getenv("SWAYSOCK");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path == nullptr || *path == '\0' || std::strlen(path) >= sizeof(address.sun_path)) {
    return nullptr;
  }
  std::memcpy(address.sun_path, path, std::strlen(path));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return nullptr;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TSwayDock>(new TSwayDock(fd));
}

TSwayDock::TSwayDock(int socket) : Socket_(socket) {}

TSwayDock::~TSwayDock() {
  if (Socket_ >= 0) {
    ::close(Socket_);
  }
}

std::optional<std::string> TSwayDock::Request(std::uint32_t type, const std::string& payload) {
  if (Socket_ < 0) {
    return std::nullopt;
  }
  std::array<char, HeaderSize> header{};
  std::memcpy(header.data(), Magic.data(), Magic.size());
  const auto length = static_cast<std::uint32_t>(payload.size());
  std::memcpy(header.data() + Magic.size(), &length, sizeof(length));
  std::memcpy(header.data() + Magic.size() + sizeof(length), &type, sizeof(type));
  std::array<char, HeaderSize> answerHeader{};
  std::uint32_t answerLength = 0;
  std::string answer;
  const bool ok = SendAll(Socket_, header.data(), header.size()) &&
                  SendAll(Socket_, payload.data(), payload.size()) &&
                  ReceiveAll(Socket_, answerHeader.data(), answerHeader.size()) &&
                  std::memcmp(answerHeader.data(), Magic.data(), Magic.size()) == 0;
  if (ok) {
    std::memcpy(&answerLength, answerHeader.data() + Magic.size(), sizeof(answerLength));
  }
  if (ok && answerLength <= LongestAnswer) {
    answer.resize(answerLength);
    if (ReceiveAll(Socket_, answer.data(), answer.size())) {
      return answer;
    }
  }
  // A broken or silent connection ends the docking; the window stays where
  // it is.
  ::close(Socket_);
  Socket_ = -1;
  return std::nullopt;
}

std::optional<QJsonObject> TSwayDock::Tree() {
  const auto answer = Request(GetTree, {});
  if (!answer) {
    return std::nullopt;
  }
  const QJsonDocument tree = QJsonDocument::fromJson(
      QByteArray::fromRawData(answer->data(), static_cast<qsizetype>(answer->size())));
  return tree.isObject() ? std::optional<QJsonObject>(tree.object()) : std::nullopt;
}

void TSwayDock::Run(const std::string& command) {
  Request(RunCommand, command);
}

void TSwayDock::NoteFocus() {
  if (const auto tree = Tree()) {
    FocusBefore_ = FocusedSwayWindow(*tree);
  }
}

void TSwayDock::Follow(const QWidget& window) {
  const auto tree = Tree();
  const auto found = tree ? FindSwayWindow(*tree, ::getpid()) : std::nullopt;
  if (!found) {
    return;
  }
  const std::string criteria = "[con_id=" + std::to_string(found->Id) + "] ";
  if (!Seen_) {
    Seen_ = true;
    // sway gives every new window the keyboard; the call's window gets it
    // back.
    if (found->Focused && FocusBefore_ && *FocusBefore_ != found->Id) {
      Run("[con_id=" + std::to_string(*FocusBefore_) + "] focus");
    }
  }
  if (MovedByUser_) {
    return;
  }
  const TArea& now = found->Outer;
  if (Asked_) {
    if (now.Left == Asked_->Left && now.Top == Asked_->Top) {
      Reached_ = true;
    } else if (Reached_ && now.Width == Asked_->Width && now.Height == Asked_->Height) {
      // Moved away from where it was put, without a change of size (after
      // which sway centres it): the user dragged it. It stays there.
      MovedByUser_ = true;
      return;
    }
  }
  const TArea target = DockedOuter(*found, window.width(), window.height());
  if (now.Left != target.Left || now.Top != target.Top) {
    Run(criteria + "move absolute position " + std::to_string(target.Left) + " " +
        std::to_string(target.Top));
    Asked_ = target;
    Reached_ = false;
  }
}

}  // namespace recmon
