#pragma once

#include "settings/SettingsImage.h"
#include "support/RecordingMessages.h"
#include "support/ScriptedRunner.h"
#include "support/TempFolder.h"
#include "ui/FileChooser.h"
#include "ui/MainDialog.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QString>

#include <gtest/gtest.h>

// Answers the file dialogs from queues; an empty queue is a cancelled dialog.
class ScriptedFileChooser : public FileChooser {
public:
    std::optional<std::string> chooseFileToLoad(const std::string& folder) override {
        folders.push_back(folder);
        return next(loads);
    }
    std::optional<std::string> chooseFileToSave(const std::string& folder,
                                                const std::string& note = {}) override {
        folders.push_back(folder);
        saveNotes.push_back(note);
        return next(saves);
    }

    std::deque<std::optional<std::string>> loads;
    std::deque<std::optional<std::string>> saves;
    std::vector<std::string> folders;   // where each dialog opened
    std::vector<std::string> saveNotes; // the line each save dialog showed

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The bytes of a file; none when it cannot be read.
inline std::vector<std::uint8_t> bytesOf(const std::filesystem::path& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Runs the test in a fresh folder, so that "Default.cfg" lands there.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    ~WorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }

private:
    std::filesystem::path previous_;
};

// The main window over recording fakes. start() runs the start-up with the detection outcome
// the test chooses and shows the window.
class MainWindowFixture : public ::testing::Test {
protected:
    // The outcomes of the detection window.
    void startWithReaderOn(int port) { start(EndCode::Ended, port); }
    void startCancelled() { start(EndCode::Ended, -1); }
    void startEscaped() { start(EndCode::Escape, std::nullopt); }

    void start(EndCode endCode, std::optional<int> port) {
        runner.endCode = endCode;
        runner.port = port;
        window = std::make_unique<MainDialog>(image, runner, messages, files, "r550tool");
        window->initialise();
        window->show();
    }

    template <typename T> T* control(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool shown(const char* name) const { return control<QWidget>(name)->isVisibleTo(window.get()); }
    void command(const char* id) const { control<QAction>(id)->trigger(); }

    std::filesystem::path file(const char* name) const { return folder.path() / name; }
    std::string path(const char* name) const { return file(name).string(); }
    std::vector<std::uint8_t> imageBytes() const {
        return {image.raw().begin(), image.raw().end()};
    }
    // The one message box shown so far is this one.
    bool onlyMessage(const std::string& text, const std::string& caption = "System Message") const {
        return messages.shown.size() == 1 && messages.shown[0].text == text &&
               messages.shown[0].caption == caption;
    }
    // The file errors so far are `count`, and no other message box was shown.
    bool onlyFileErrors(int count) const {
        return messages.fileErrors == count && messages.shown.empty();
    }

    TempFolder folder;
    WorkingFolder workingFolder{folder.path()};
    SettingsImage image;
    ScriptedRunner runner;
    RecordingMessages messages;
    ScriptedFileChooser files;
    std::unique_ptr<MainDialog> window;
};
