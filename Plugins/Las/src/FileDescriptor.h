#pragma once

#include <unistd.h>

namespace Orvid::FileIoInterface::Las {

/// A POSIX file descriptor (negative for none), closed when it goes unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor)
        : mDescriptor(descriptor) {}
    ~FileDescriptor() {
        if (mDescriptor >= 0) {
            ::close(mDescriptor);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return mDescriptor; }
    /// Gives the descriptor up, to a caller that closes it itself to learn whether closing succeeded.
    int release() {
        const int released = mDescriptor;
        mDescriptor = -1;
        return released;
    }

private:
    int mDescriptor;
};

} // namespace Orvid::FileIoInterface::Las
