#include "ReportFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

void ReportFailure::clearSystemError()
{
    errno = 0;
#if defined(Q_OS_WIN)
    SetLastError(0);
#endif
}

int ReportFailure::lastSystemError()
{
#if defined(Q_OS_WIN)
    const DWORD error = GetLastError();
    return error != 0 ? -static_cast<int>(error) : errno; // Windows codes negative, apart from errno's
#else
    return errno;
#endif
}

QString ReportFailure::fromSystemError(int error)
{
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return tr("磁盘空间不足。");
    case EACCES:
    case EPERM:
        return tr("没有写入权限，或文件正被其他程序打开。");
    case EROFS:
        return tr("保存位置是只读的。");
    case ENOENT:
    case ENOTDIR:
        return tr("保存路径不存在。");
    case EISDIR:
        return tr("保存路径是一个文件夹。");
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return tr("文件正被其他程序使用。");
    case ENOMEM:
        return tr("内存不足。");
    case EIO:
        return tr("磁盘读写错误。");
    case ENAMETOOLONG:
        return tr("文件名过长。");
    default:
        break;
    }
#if defined(Q_OS_WIN)
    switch (-error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return tr("磁盘空间不足。");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return tr("文件正被其他程序使用。");
    case ERROR_ACCESS_DENIED:
        return tr("没有写入权限，或文件正被其他程序打开。");
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return tr("保存路径不存在。");
    case ERROR_WRITE_PROTECT:
        return tr("保存位置是只读的。");
    default:
        break;
    }
#endif
    if (error > 0)
        return tr("系统错误：%1").arg(QString::fromLocal8Bit(std::strerror(error)));
    return QString();
}

QString ReportFailure::fromFile(const QFileDevice& file, int systemError)
{
    const QString reason = fromSystemError(systemError);
    if (!reason.isEmpty())
        return reason;
    return file.errorString().isEmpty() ? tr("写入文件失败。") : tr("写入文件失败：%1").arg(file.errorString());
}

QString ReportFailure::fromLibrary(int code, int systemError)
{
    // The library's own code says where it failed; errno says why, when the
    // failing call was a file operation.
    const QString why = fromSystemError(systemError);
    switch (static_cast<lxw_error>(code)) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return tr("内存不足。");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return why.isEmpty() ? tr("无法创建工作簿文件。") : why;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return tr("临时文件夹无法写入或已满。") + (why.isEmpty() ? QString() : QLatin1Char(' ') + why);
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return why.isEmpty() ? tr("写入工作簿失败，磁盘可能已满。") : why;
    default:
        return why.isEmpty() ? tr("写入工作簿失败（错误 %1）。").arg(code) : why;
    }
}

QString ReportFailure::checkTarget(const QString& path)
{
    if (path.isEmpty())
        return tr("未选择保存路径。");
    const QFileInfo target(path);
    if (target.isDir())
        return tr("保存路径是一个文件夹。");
    if (!target.absoluteDir().exists())
        return tr("保存路径不存在。");
    if (target.exists() && !target.isWritable())
        return tr("文件是只读的，或正被其他程序打开。");
    // A file beside the target, as the writers make theirs.
    QFile probe(path + QStringLiteral(".part"));
    const bool existed = probe.exists();
    clearSystemError();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
        const int error = lastSystemError();
        return fromFile(probe, error);
    }
    probe.close();
    if (!existed)
        probe.remove();
    return QString();
}
