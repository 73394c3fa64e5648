#include "platform/WorkerRun.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace {

std::mutex& RegistryMutex() {
  static std::mutex* mutex = new std::mutex;  // never destroyed: a worker may outlive main
  return *mutex;
}

std::set<WorkerRun*>& Registry() {
  static std::set<WorkerRun*>* runs = new std::set<WorkerRun*>;
  return *runs;
}

}  // namespace

WorkerRun::WorkerRun() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry().insert(this);
}

WorkerRun::~WorkerRun() {
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(this);
  }
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void WorkerRun::Stop() {
  if (m_stopped.exchange(true, std::memory_order_acq_rel)) return;
  if (m_wakeFd >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
  }
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    if (m_wake) m_wake();
  }
  std::lock_guard<std::mutex> lock(m_socketMutex);
  if (m_socket >= 0) ::shutdown(m_socket, SHUT_RDWR);
}

void WorkerRun::SetStopWake(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(m_wakeMutex);
  m_wake = std::move(wake);
}

void WorkerRun::PublishSocket(int fd) {
  std::lock_guard<std::mutex> lock(m_socketMutex);
  m_socket = fd;
  if (fd >= 0 && IsStopped()) ::shutdown(fd, SHUT_RDWR);
}

void WorkerRun::WithdrawSocket() {
  std::lock_guard<std::mutex> lock(m_socketMutex);
  m_socket = -1;
}

bool WorkerRun::IsConnected() const {
  std::lock_guard<std::mutex> lock(m_socketMutex);
  return m_socket >= 0;
}

void WorkerRun::MarkFinished() {
  std::lock_guard<std::mutex> lock(m_finishMutex);
  m_finished = true;
  m_finishCv.notify_all();
}

bool WorkerRun::IsFinished() const {
  std::lock_guard<std::mutex> lock(m_finishMutex);
  return m_finished;
}

bool WorkerRun::WaitFinished(int milliseconds) const {
  std::unique_lock<std::mutex> lock(m_finishMutex);
  return m_finishCv.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_finished; });
}

void WorkerRun::StopAll() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (WorkerRun* run : Registry()) run->Stop();
}

bool WorkerRun::AnyUnfinished() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (WorkerRun* run : Registry())
    if (!run->IsFinished()) return true;
  return false;
}

std::shared_ptr<WorkerRun> WorkerRun::StartThread(std::shared_ptr<WorkerRun> run,
                                                  std::function<void()> body) {
  try {
    std::thread([run, body = std::move(body)] {
      body();
      run->MarkFinished();
    }).detach();
    return run;
  } catch (const std::system_error&) {
    run->MarkFinished();
    return nullptr;
  }
}
