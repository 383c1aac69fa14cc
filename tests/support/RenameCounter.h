#pragma once

// Counts the files renamed into a folder while work runs: a safe write is one rename, so an
// archive written once is renamed once, however many of its entries changed.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstddef>
#include <string>

template <typename Work>
size_t RenamesInto(const std::string& folder, const std::string& name, Work work) {
    const int watch = inotify_init1(IN_NONBLOCK);
    EXPECT_GE(watch, 0);
    EXPECT_GE(inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO), 0);
    work();
    size_t count = 0;
    alignas(inotify_event) char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            count += event->len > 0 && name == event->name ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    return count;
}
