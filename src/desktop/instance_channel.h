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

// Sends `files` (absolute paths) to the running program and waits for it to take them.
// False when no program answered within `timeoutMs`.
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
