#pragma once

#include <cstddef>

// Owns one file descriptor and closes it when it goes out of scope or is reset. Moves, never
// copies, so a descriptor has exactly one owner.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor held (if any) and takes fd instead.
    void reset(int fd = -1);
    // Gives the descriptor up without closing it.
    int release();
    // Closes now and reports whether the close succeeded: a late write error shows up here.
    bool close();
    // Writes all `size` bytes to fd, resuming after partial writes and interrupted calls. False
    // when the descriptor refuses any of them (a full disk, a closed peer).
    static bool writeAll(int fd, const void* data, std::size_t size);

private:
    int fd_ = -1;
};
