#include "desktop/instance_channel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

// Each message is one QDataStream of a QStringList; the answer is this one byte.
constexpr char kTaken = 'k';
// A list longer than this is no start of ours.
constexpr qint64 kMostMessageBytes = 64 * 1024 * 1024;

}  // namespace

QString InstanceSocketPath(const QString& runtimeFolder) {
  return QDir(runtimeFolder).filePath(QStringLiteral("QarnLab_Trevalo.socket"));
}

InstanceLock::InstanceLock(const QString& runtimeFolder) {
  const QString path = runtimeFolder + QStringLiteral("/QarnLab_Trevalo.lock");
  fd_ = ::open(NativePath(path).constData(),
               O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
  struct stat status {};
  if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
    problem_ = QStringLiteral("cannot lock %1: %2").arg(path, SystemReason());
  } else if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    problem_ = QStringLiteral("cannot lock %1: it is not a file of this user").arg(path);
  } else if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    heldElsewhere_ = errno == EWOULDBLOCK;
    problem_ = QStringLiteral("cannot lock %1: %2").arg(path, SystemReason());
  } else {
    return;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool HandFilesToRunningInstance(const QString& runtimeFolder, const QStringList& files,
                                int timeoutMs) {
  // The running program may hold the lock a moment before it listens.
  const QDeadlineTimer deadline(timeoutMs);
  const QString path = InstanceSocketPath(runtimeFolder);
  QLocalSocket socket;
  for (;;) {
    // Only this user's own socket hears the photos' names.
    struct stat status {};
    if (::lstat(NativePath(path).constData(), &status) == 0 &&
        (!S_ISSOCK(status.st_mode) || status.st_uid != ::geteuid())) {
      return false;
    }
    socket.connectToServer(path);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
    if (deadline.hasExpired()) {
      return false;
    }
    QThread::msleep(100);
  }
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_0);
  out << files;
  QByteArray framed;
  QDataStream frame(&framed, QIODevice::WriteOnly);
  frame << static_cast<qint64>(message.size());
  socket.write(framed + message);
  if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    return false;
  }
  while (socket.bytesAvailable() < 1) {
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      return false;
    }
  }
  char answer = 0;
  return socket.getChar(&answer) && answer == kTaken;
}

InstanceServer::InstanceServer(const QString& runtimeFolder, QObject* parent) : QObject(parent) {
  const QString path = InstanceSocketPath(runtimeFolder);
  QLocalServer::removeServer(path);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(path);
  connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::TakeConnection);
}

void InstanceServer::TakeConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      constexpr qint64 kHeader = sizeof(qint64);
      if (socket->bytesAvailable() < kHeader) {
        return;
      }
      QDataStream header(socket->peek(kHeader));
      qint64 size = 0;
      header >> size;
      if (size < 0 || size > kMostMessageBytes) {
        socket->abort();
        return;
      }
      if (socket->bytesAvailable() < kHeader + size) {
        return;
      }
      socket->read(kHeader);
      QDataStream in(socket->read(size));
      in.setVersion(QDataStream::Qt_6_0);
      QStringList files;
      in >> files;
      if (in.status() != QDataStream::Ok) {
        socket->abort();
        return;
      }
      socket->putChar(kTaken);
      socket->flush();
      // Taking the files may run an event loop (the progress window), in which this socket
      // goes; they are taken once its handler has returned.
      QMetaObject::invokeMethod(
          this, [this, files] { Q_EMIT filesReceived(files); }, Qt::QueuedConnection);
    });
  }
}

}  // namespace trevalo
