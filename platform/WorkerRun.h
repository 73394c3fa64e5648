#pragma once
// One run of a worker (search, NFO or statistics) as the UI thread and the worker share it: the stop flag,
// a wake-up descriptor the probe polls on, and the socket of the run's connection while one is
// open. Stop() never waits: it marks the run, signals the descriptor and shuts the published
// socket down (under the same mutex the worker withdraws it with, so a reused descriptor number
// is never touched). The worker itself releases its result and closes its connection.
//
// Every live run is registered, so Quit can stop them all with StopAll().
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class WorkerRun {
 public:
  WorkerRun();
  ~WorkerRun();
  WorkerRun(const WorkerRun&) = delete;
  WorkerRun& operator=(const WorkerRun&) = delete;

  static std::shared_ptr<WorkerRun> Create() { return std::make_shared<WorkerRun>(); }

  // Any thread. Idempotent.
  void Stop();
  bool IsStopped() const { return m_stopped.load(std::memory_order_acquire); }
  // Readable once the run was stopped; -1 if no descriptor could be made.
  int WakeFd() const { return m_wakeFd; }
  // A wait of the worker's own that Stop() must end: Stop() calls wake (under a mutex of its own,
  // after marking the run) until it is withdrawn with null. The waiter tests IsStopped() after
  // setting it, so a stop before that is seen too.
  void SetStopWake(std::function<void()> wake);

  // Worker side: the socket of the open connection, published right after the connect and
  // withdrawn before the connection is closed. A socket published after Stop() is shut down at once.
  void PublishSocket(int fd);
  void WithdrawSocket();

  // Whether the run holds an open connection, that is a published socket (the form's Cancel
  // shows "Disconnecting from database" then).
  bool IsConnected() const;

  // The worker calls MarkFinished() as its very last action. WaitFinished is for tests and for
  // tools; the UI thread never waits for a worker.
  void MarkFinished();
  bool IsFinished() const;
  bool WaitFinished(int milliseconds) const;

  // Runs body on a detached thread of its own and marks run finished last (a worker that uses
  // the database starts through StartDupesThread of db/DupesConnection). Returns run, or null (run marked
  // finished) when no thread could be made.
  static std::shared_ptr<WorkerRun> StartThread(std::shared_ptr<WorkerRun> run, std::function<void()> body);

  // Stops every live run (Quit).
  static void StopAll();
  // Whether a live run has not finished yet.
  static bool AnyUnfinished();

 private:
  std::atomic<bool> m_stopped{false};
  int m_wakeFd = -1;
  std::mutex m_wakeMutex;
  std::function<void()> m_wake;
  mutable std::mutex m_socketMutex;
  int m_socket = -1;
  mutable std::mutex m_finishMutex;
  mutable std::condition_variable m_finishCv;
  bool m_finished = false;
};
