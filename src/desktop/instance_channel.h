#pragma once
// One program at a time, and "Open with" while it runs: the program that holds the
// instance lock listens on a local socket beside the lock; a second start hands it the
// files it was given and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace trevalo {

// The socket's path in the runtime folder.
QString InstanceSocketPath(const QString& runtimeFolder);

// The lock that makes one program the running one: a lock on a file in the runtime folder
// (InstanceFolder, which only the user may write to), which the system lets go when the
// program ends however it ends, so that no lock left behind ever keeps a start out.
class InstanceLock {
 public:
  explicit InstanceLock(const QString& runtimeFolder);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // This program is the running one.
  bool held() const { return fd_ >= 0; }
  // Another program holds the lock (false when it could not be tried: see problem()).
  bool heldElsewhere() const { return heldElsewhere_; }
  const QString& problem() const { return problem_; }

 private:
  int fd_ = -1;
  bool heldElsewhere_ = false;
  QString problem_;
};

// Sends `files` (absolute paths) to the running program and waits for it to take them.
// False when no program answered within `timeoutMs`, or the socket is not this user's.
bool HandFilesToRunningInstance(const QString& runtimeFolder, const QStringList& files,
                                int timeoutMs = 5000);

// Listens for later starts. Only the holder of the instance lock creates one, so a socket
// left behind by a program that was killed is removed first.
class InstanceServer : public QObject {
  Q_OBJECT

 public:
  InstanceServer(const QString& runtimeFolder, QObject* parent = nullptr);
  bool listening() const { return server_.isListening(); }

 Q_SIGNALS:
  // A later start was made with these files (possibly none: it asks to be shown).
  void filesReceived(const QStringList& files);

 private:
  void TakeConnection();

  QLocalServer server_;
};

}  // namespace trevalo
