#include "os/linux/jack_port_follower.h"

#include <jack/midiport.h>

#include <utility>

#include "os/linux/midi_port_names.h"

namespace orvo {

std::shared_ptr<JackPortFollower> JackPortFollower::Create(const std::string& listenerName,
                                                           std::string ownClientName) {
  jack_status_t status{};
  jack_client_t* client = jack_client_open(listenerName.c_str(), JackNoStartServer, &status);
  if (!client) return nullptr;
  std::shared_ptr<JackPortFollower> follower(new JackPortFollower(client, std::move(ownClientName)));
  if (jack_set_port_registration_callback(client, &JackPortFollower::OnPortRegistration, follower.get()) != 0 ||
      jack_set_process_callback(client, &JackPortFollower::OnProcess, follower.get()) != 0 ||
      jack_activate(client) != 0)
    return nullptr;  // the destructor closes the client
  return follower;
}

int JackPortFollower::OnProcess(jack_nframes_t, void* self) {
  static_cast<JackPortFollower*>(self)->cycles_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

JackPortFollower::JackPortFollower(jack_client_t* client, std::string ownClientName)
    : client_(client), ownClientName_(std::move(ownClientName)) {
  worker_ = std::thread([this] { RunWorker(); });
}

JackPortFollower::~JackPortFollower() {
  {
    std::lock_guard lock(queueMutex_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
  // A notification until here only queues a port nobody looks at; none comes after this.
  jack_client_close(client_);
}

std::vector<std::string> JackPortFollower::OwnPorts() const {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
  if (!ports) return names;
  for (const char** port = ports; *port; ++port)
    if (IsOwnJackPort(*port, ownClientName_)) names.emplace_back(*port);
  jack_free(ports);
  return names;
}

uint64_t JackPortFollower::Follow(std::string source, std::string destination) {
  std::lock_guard lock(linksMutex_);
  const uint64_t id = nextId_++;
  links_[id] = Link{std::move(source), std::move(destination)};
  return id;
}

void JackPortFollower::Unfollow(uint64_t id) {
  std::lock_guard lock(linksMutex_);
  links_.erase(id);
}

void JackPortFollower::OnPortRegistration(jack_port_id_t port, int registered, void* self) {
  if (!registered) return;  // JACK drops the connections of a port that goes by itself
  auto* follower = static_cast<JackPortFollower*>(self);
  {
    std::lock_guard lock(follower->queueMutex_);
    follower->registered_.push_back(port);
  }
  follower->wake_.notify_one();
}

// Runs on the follower's worker thread: names the newly registered ports and connects the
// links that wait for them.
void JackPortFollower::RunWorker() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !registered_.empty(); });
    if (stop_) return;
    std::vector<jack_port_id_t> ports;
    ports.swap(registered_);
    lock.unlock();
    for (jack_port_id_t id : ports) {
      jack_port_t* port = jack_port_by_id(client_, id);
      const char* name = port ? jack_port_name(port) : nullptr;
      if (!name) continue;
      const std::string registeredName = name;
      std::lock_guard links(linksMutex_);
      Reconnect(registeredName);
    }
    lock.lock();
  }
}

void JackPortFollower::Reconnect(const std::string& registeredName) {
  for (const auto& [id, link] : links_) {
    if (link.source != registeredName && link.destination != registeredName) continue;
    jack_port_t* source = jack_port_by_name(client_, link.source.c_str());
    if (!source || !jack_port_by_name(client_, link.destination.c_str())) continue;  // the other end is away
    if (jack_port_connected_to(source, link.destination.c_str())) continue;
    jack_connect(client_, link.source.c_str(), link.destination.c_str());
  }
}

}  // namespace orvo
