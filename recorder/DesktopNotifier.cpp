#include "DesktopNotifier.h"

#include <poll.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>

namespace recmon {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr const char* kOpenFolderAction = "open-folder";
// The desktop entry and icon the notification is shown under.
constexpr const char* kDesktopEntry = "kestrum-call-monitor";
// A service that does not answer within this is taken to be missing.
constexpr std::uint64_t kReplyTimeoutUsec = 10'000'000;
// Notifications whose action can still be picked; older ones are forgotten.
constexpr std::size_t kRememberedNotices = 64;

std::string ErrorText(int negativeErrno) {
  return std::strerror(-negativeErrno);
}

}  // namespace

struct TDesktopNotifier::TCallbacks {
  static int OnCapabilities(sd_bus_message* reply, void* userdata, sd_bus_error*);
  static int OnNotified(sd_bus_message* reply, void* userdata, sd_bus_error*);
  static int OnSignal(sd_bus_message* message, void* userdata, sd_bus_error*);
};

// A notice waiting for the service's capabilities, then for its number.
struct TDesktopNotifier::TPending {
  explicit TPending(TDesktopNotifier* owner) : Owner(owner) { ++Owner->InFlight_; }
  ~TPending() { --Owner->InFlight_; }
  TPending(const TPending&) = delete;
  TPending& operator=(const TPending&) = delete;

  TDesktopNotifier* Owner;
  TCallNotice Notice;
  sd_bus_slot* Slot = nullptr;
};

TDesktopNotifier::TDesktopNotifier(std::ostream& log,
                                   std::function<void(const std::string& folder)> openFolder)
    : Log_(log), OpenFolder_(std::move(openFolder)) {}

TDesktopNotifier::~TDesktopNotifier() {
  Disconnect("");
}

void TDesktopNotifier::Say(const std::string& text) {
  // The same reason once, not at every call.
  if (text != LastSaid_) {
    Log_ << "recmon-record: " << text << std::endl;
    LastSaid_ = text;
  }
}

bool TDesktopNotifier::Connect() {
  if (Bus_ != nullptr) {
    return true;
  }
  const int opened = sd_bus_open_user(&Bus_);
  if (opened < 0) {
    Bus_ = nullptr;
    Say("no desktop notifications: no session bus (" + ErrorText(opened) + ")");
    return false;
  }
  for (const char* member : {"ActionInvoked", "NotificationClosed"}) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal_async(Bus_, &slot, nullptr, kPath, kInterface, member,
                                  TCallbacks::OnSignal, nullptr, this) >= 0) {
      Matches_.push_back(slot);
    }
  }
  return true;
}

void TDesktopNotifier::Disconnect(const std::string& why) {
  if (!why.empty()) {
    Say("no desktop notifications: the session bus went away (" + why + ")");
  }
  for (sd_bus_slot* slot : Matches_) {
    sd_bus_slot_unref(slot);
  }
  Matches_.clear();
  if (Bus_ != nullptr) {
    // Pending calls go with the bus; their slots free their notices.
    sd_bus_flush_close_unref(Bus_);
    Bus_ = nullptr;
  }
  Folders_.clear();
}

void TDesktopNotifier::Notify(const TCallNotice& notice) {
  if (!Connect()) {
    return;
  }
  auto pending = std::make_unique<TPending>(this);
  pending->Notice = notice;
  // Capabilities first: whether to escape the body and offer the action.
  const int sent =
      sd_bus_call_method_async(Bus_, &pending->Slot, kService, kPath, kInterface, "GetCapabilities",
                               TCallbacks::OnCapabilities, pending.get(), "");
  if (sent < 0) {
    Say("no desktop notification: " + ErrorText(sent));
    return;
  }
  // The slot owns the notice from here: freed with the slot, whatever happens.
  sd_bus_slot_set_destroy_callback(pending->Slot,
                                   [](void* userdata) { delete static_cast<TPending*>(userdata); });
  // Floating: the bus keeps the slot until the reply, and our reference goes.
  sd_bus_slot_set_floating(pending->Slot, 1);
  sd_bus_slot_unref(pending->Slot);
  pending.release();
}

int TDesktopNotifier::TCallbacks::OnCapabilities(sd_bus_message* reply, void* userdata,
                                                 sd_bus_error*) {
  auto* pending = static_cast<TPending*>(userdata);
  TDesktopNotifier* self = pending->Owner;
  if (sd_bus_message_is_method_error(reply, nullptr)) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    self->Say(std::string("no desktop notification: ") +
              (sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
                       sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)
                   ? "no notification service in this session"
                   : (error != nullptr && error->message != nullptr ? error->message
                                                                    : "the service failed")));
    return 0;
  }
  bool markup = false;
  bool actions = false;
  if (sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
    const char* capability = nullptr;
    while (sd_bus_message_read(reply, "s", &capability) > 0) {
      markup = markup || std::strcmp(capability, "body-markup") == 0;
      actions = actions || std::strcmp(capability, "actions") == 0;
    }
    sd_bus_message_exit_container(reply);
  }

  const TCallNotice& notice = pending->Notice;
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(self->Bus_, &call, kService, kPath, kInterface, "Notify");
  const std::string summary = NoticeSummary(notice);
  const std::string body = NoticeBody(notice, markup);
  if (r >= 0) {
    r = sd_bus_message_append(call, "susss", "Kestrum Call Monitor", 0u, kDesktopEntry,
                              summary.c_str(), body.c_str());
  }
  if (r >= 0) {
    r = actions ? sd_bus_message_append(call, "as", 4, "default", "Open Folder", kOpenFolderAction,
                                        "Open Folder")
                : sd_bus_message_append(call, "as", 0);
  }
  if (r >= 0) {
    r = sd_bus_message_append(call, "a{sv}", 1, "desktop-entry", "s", kDesktopEntry);
  }
  if (r >= 0) {
    r = sd_bus_message_append(call, "i", -1);
  }
  if (r >= 0) {
    auto next = std::make_unique<TPending>(self);
    next->Notice = notice;
    r = sd_bus_call_async(self->Bus_, &next->Slot, call, TCallbacks::OnNotified, next.get(),
                          kReplyTimeoutUsec);
    if (r >= 0) {
      sd_bus_slot_set_destroy_callback(next->Slot,
                                       [](void* data) { delete static_cast<TPending*>(data); });
      sd_bus_slot_set_floating(next->Slot, 1);
      sd_bus_slot_unref(next->Slot);
      next.release();
    }
  }
  sd_bus_message_unref(call);
  if (r < 0) {
    self->Say("no desktop notification: " + ErrorText(r));
  }
  return 0;
}

int TDesktopNotifier::TCallbacks::OnNotified(sd_bus_message* reply, void* userdata, sd_bus_error*) {
  auto* pending = static_cast<TPending*>(userdata);
  TDesktopNotifier* self = pending->Owner;
  if (sd_bus_message_is_method_error(reply, nullptr)) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    self->Say(
        std::string("no desktop notification: ") +
        (error != nullptr && error->message != nullptr ? error->message : "the service failed"));
    return 0;
  }
  std::uint32_t id = 0;
  if (sd_bus_message_read(reply, "u", &id) < 0) {
    return 0;
  }
  self->LastSaid_.clear();
  if (self->Folders_.size() >= kRememberedNotices) {
    self->Folders_.erase(self->Folders_.begin());
  }
  self->Folders_[id] = std::filesystem::path(pending->Notice.Path).parent_path().string();
  return 0;
}

int TDesktopNotifier::TCallbacks::OnSignal(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto* self = static_cast<TDesktopNotifier*>(userdata);
  std::uint32_t id = 0;
  const auto known = [&] { return self->Folders_.find(id); };
  if (sd_bus_message_is_signal(message, kInterface, "ActionInvoked")) {
    const char* action = nullptr;
    if (sd_bus_message_read(message, "us", &id, &action) < 0) {
      return 0;
    }
    const auto it = known();
    if (it != self->Folders_.end() &&
        (std::strcmp(action, kOpenFolderAction) == 0 || std::strcmp(action, "default") == 0)) {
      self->OpenFolder_(it->second);
    }
  } else if (sd_bus_message_is_signal(message, kInterface, "NotificationClosed")) {
    std::uint32_t reason = 0;
    if (sd_bus_message_read(message, "uu", &id, &reason) >= 0) {
      if (const auto it = known(); it != self->Folders_.end()) {
        self->Folders_.erase(it);
      }
    }
  }
  return 0;
}

int TDesktopNotifier::Fd() const {
  return Bus_ != nullptr ? sd_bus_get_fd(Bus_) : -1;
}

short TDesktopNotifier::Events() const {
  const int events = Bus_ != nullptr ? sd_bus_get_events(Bus_) : 0;
  return static_cast<short>(events > 0 ? events : 0);
}

std::optional<std::chrono::steady_clock::time_point> TDesktopNotifier::Deadline() const {
  std::uint64_t usec = 0;
  if (Bus_ == nullptr || sd_bus_get_timeout(Bus_, &usec) < 0 || usec == UINT64_MAX) {
    return std::nullopt;
  }
  // sd-bus counts on CLOCK_MONOTONIC, as steady_clock does here.
  return std::chrono::steady_clock::time_point(std::chrono::microseconds(usec));
}

void TDesktopNotifier::Process() {
  if (Bus_ == nullptr) {
    return;
  }
  for (;;) {
    const int r = sd_bus_process(Bus_, nullptr);
    if (r < 0) {
      Disconnect(ErrorText(r));
      return;
    }
    if (r == 0) {
      return;
    }
  }
}

std::vector<std::string> TDesktopNotifier::SessionEnvironment() {
  std::vector<std::string> environment;
  if (!Connect()) {
    return environment;
  }
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int r = sd_bus_message_new_method_call(Bus_, &call, "org.freedesktop.systemd1",
                                         "/org/freedesktop/systemd1",
                                         "org.freedesktop.DBus.Properties", "Get");
  if (r >= 0) {
    r = sd_bus_message_append(call, "ss", "org.freedesktop.systemd1.Manager", "Environment");
  }
  if (r >= 0) {
    r = sd_bus_call(Bus_, call, 1'000'000, &error, &reply);
  }
  if (r >= 0 && sd_bus_message_enter_container(reply, 'v', "as") >= 0 &&
      sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
    const char* variable = nullptr;
    while (sd_bus_message_read(reply, "s", &variable) > 0) {
      environment.emplace_back(variable);
    }
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  return environment;
}

}  // namespace recmon
