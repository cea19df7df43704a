#pragma once

#include "platform/MenuSession.h"
#include "platform/WindowHandle.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace trov::platform {

enum class BoxKind { Info, OkCancel, YesNoCancel, Error };
enum class BoxAnswer { Ok, Cancel, Yes, No, Closed };

struct FileDialogRequest {
    bool save = false;
    std::string title;
    // Entries of "description (patterns)" and their patterns ("*.wav;*.aif").
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 0; // 0-based entry shown first
    std::string initialPath;
    WindowHandle owner = kNoWindow;
};

struct FileDialogAnswer {
    bool accepted = false;
    std::string path;
    int filterIndex = 0; // 0-based entry chosen
};

// Answers the questions the system asks the user: message boxes, file and folder dialogs, opening a URL,
// popup menus. There is no desktop here: the headless responder gives the safe answer (cancel, no, a
// dismissed menu) and reports the question; tests install a scripted one. Calls come from the
// user-interface thread.
class Responder {
public:
    virtual ~Responder() = default;
    virtual BoxAnswer messageBox(WindowHandle owner, const std::string& caption, const std::string& text,
                                 BoxKind kind) = 0;
    virtual FileDialogAnswer fileDialog(const FileDialogRequest& request) = 0;
    // The chosen folder's path, or empty when cancelled.
    virtual std::string browseFolder(WindowHandle owner, const std::string& title) = 0;
    virtual void openUrl(const std::string& url) = 0;
    // Drives a popup menu being tracked; a menu left neither chosen nor dismissed goes on with the input
    // queued for the user-interface thread and is dismissed when that runs out.
    virtual void trackMenu(MenuSession& menu);
};

class HeadlessResponder : public Responder {
public:
    BoxAnswer messageBox(WindowHandle owner, const std::string& caption, const std::string& text,
                         BoxKind kind) override;
    FileDialogAnswer fileDialog(const FileDialogRequest& request) override;
    std::string browseFolder(WindowHandle owner, const std::string& title) override;
    void openUrl(const std::string& url) override;
};

// Replays queued answers in order and records every question; with its queue empty it answers like the
// headless responder.
class ScriptedResponder : public Responder {
public:
    struct Question {
        std::string kind; // "box", "file", "folder", "url", "menu"
        std::string caption;
        std::string text;
        BoxKind box = BoxKind::Info;
        FileDialogRequest file;
        WindowHandle owner = kNoWindow;
    };

    void queueBox(BoxAnswer answer);
    void queueFile(FileDialogAnswer answer);
    void queueFolder(std::string path);
    // The next menus: driven by the function, or chosen by the entries' texts through the levels.
    void queueMenu(std::function<void(MenuSession&)> script);
    void queueMenuChoice(std::vector<std::string> path);

    BoxAnswer messageBox(WindowHandle owner, const std::string& caption, const std::string& text,
                         BoxKind kind) override;
    FileDialogAnswer fileDialog(const FileDialogRequest& request) override;
    std::string browseFolder(WindowHandle owner, const std::string& title) override;
    void openUrl(const std::string& url) override;
    void trackMenu(MenuSession& menu) override;

    std::vector<Question> questions() const;

private:
    mutable std::mutex mutex_;
    std::deque<BoxAnswer> boxes_;
    std::deque<FileDialogAnswer> files_;
    std::deque<std::string> folders_;
    std::deque<std::function<void(MenuSession&)>> menus_;
    std::vector<Question> questions_;
};

// The installed responder; the headless one when none is installed.
Responder& responder();
// Installs a responder (not owned); null restores the headless one.
void setResponder(Responder* responder);

// Installs a responder for a scope.
class ScopedResponder {
public:
    explicit ScopedResponder(Responder& r) { setResponder(&r); }
    ~ScopedResponder() { setResponder(nullptr); }
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;
};

} // namespace trov::platform
