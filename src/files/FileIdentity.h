#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Which file a path names: its device and inode number once every symbolic
// link is followed, so that two spellings of a path, a symbolic link and a
// hard link to one file all compare equal. A path where no file is yet is
// named by its folder's identity and its own name, so that it still
// compares equal to another spelling of the same place.
class FileIdentity
{
public:
    static FileIdentity of(const QString &path);
    // The file open on a descriptor (standard output, for instance).
    static FileIdentity ofDescriptor(int fd);

    // False when neither the file nor its folder could be looked at.
    bool isValid() const { return m_valid; }
    bool exists() const { return m_valid && m_name.isEmpty(); }

    bool operator==(const FileIdentity &other) const
    {
        return m_valid && other.m_valid && m_device == other.m_device && m_inode == other.m_inode
            && m_name == other.m_name;
    }

private:
    bool m_valid = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    QByteArray m_name; // of a file not there yet, in the folder given by device and inode
};

// The path with every symbolic link in it followed, also when the file it
// ends in does not exist yet (a link whose target is missing gives that
// target). A path that cannot be resolved is returned absolute, as it is.
QString resolvedPath(const QString &path);
