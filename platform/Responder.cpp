#include "platform/Responder.h"

#include "platform/Diagnostics.h"

#include <atomic>

namespace trov::platform {

namespace {
std::atomic<Responder*> gResponder{nullptr};

BoxAnswer safeAnswer(BoxKind kind) {
    switch (kind) {
    case BoxKind::OkCancel:
    case BoxKind::YesNoCancel:
        return BoxAnswer::Cancel;
    case BoxKind::Info:
    case BoxKind::Error:
        break;
    }
    return BoxAnswer::Ok;
}
} // namespace

Responder& responder() {
    static HeadlessResponder headless;
    Responder* installed = gResponder.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : headless;
}

void setResponder(Responder* r) {
    gResponder.store(r, std::memory_order_release);
}

BoxAnswer HeadlessResponder::messageBox(WindowHandle, const std::string& caption, const std::string& text,
                                        BoxKind kind) {
    report(3, "message box [" + caption + "]: " + text);
    return safeAnswer(kind);
}

FileDialogAnswer HeadlessResponder::fileDialog(const FileDialogRequest& request) {
    report(3,
           std::string(request.save ? "save" : "open") + " dialog cancelled (no desktop): " + request.title);
    return {};
}

std::string HeadlessResponder::browseFolder(WindowHandle, const std::string& title) {
    report(3, "folder dialog cancelled (no desktop): " + title);
    return {};
}

void HeadlessResponder::openUrl(const std::string& url) {
    report(3, "not opening (no desktop): " + url);
}

void Responder::trackMenu(MenuSession&) {}

void ScriptedResponder::queueMenu(std::function<void(MenuSession&)> script) {
    std::lock_guard guard(mutex_);
    menus_.push_back(std::move(script));
}

void ScriptedResponder::queueMenuChoice(std::vector<std::string> path) {
    queueMenu([path = std::move(path)](MenuSession& menu) { menu.chooseText(path); });
}

void ScriptedResponder::trackMenu(MenuSession& menu) {
    std::function<void(MenuSession&)> script;
    {
        std::lock_guard guard(mutex_);
        Question q;
        q.kind = "menu";
        for (const MenuSession::Entry& entry : menu.entries())
            q.text += (q.text.empty() ? "" : "|") + entry.text;
        questions_.push_back(q);
        if (menus_.empty())
            return;
        script = std::move(menus_.front());
        menus_.pop_front();
    }
    // Outside the lock: the script may make the menu's owner ask further questions.
    script(menu);
}

void ScriptedResponder::queueBox(BoxAnswer answer) {
    std::lock_guard guard(mutex_);
    boxes_.push_back(answer);
}

void ScriptedResponder::queueFile(FileDialogAnswer answer) {
    std::lock_guard guard(mutex_);
    files_.push_back(std::move(answer));
}

void ScriptedResponder::queueFolder(std::string path) {
    std::lock_guard guard(mutex_);
    folders_.push_back(std::move(path));
}

BoxAnswer ScriptedResponder::messageBox(WindowHandle owner, const std::string& caption,
                                        const std::string& text, BoxKind kind) {
    std::lock_guard guard(mutex_);
    Question q;
    q.kind = "box";
    q.caption = caption;
    q.text = text;
    q.box = kind;
    q.owner = owner;
    questions_.push_back(q);
    if (boxes_.empty())
        return safeAnswer(kind);
    const BoxAnswer answer = boxes_.front();
    boxes_.pop_front();
    return answer;
}

FileDialogAnswer ScriptedResponder::fileDialog(const FileDialogRequest& request) {
    std::lock_guard guard(mutex_);
    Question q;
    q.kind = "file";
    q.caption = request.title;
    q.file = request;
    q.owner = request.owner;
    questions_.push_back(q);
    if (files_.empty())
        return {};
    FileDialogAnswer answer = files_.front();
    files_.pop_front();
    return answer;
}

std::string ScriptedResponder::browseFolder(WindowHandle owner, const std::string& title) {
    std::lock_guard guard(mutex_);
    Question q;
    q.kind = "folder";
    q.caption = title;
    q.owner = owner;
    questions_.push_back(q);
    if (folders_.empty())
        return {};
    std::string path = folders_.front();
    folders_.pop_front();
    return path;
}

void ScriptedResponder::openUrl(const std::string& url) {
    std::lock_guard guard(mutex_);
    Question q;
    q.kind = "url";
    q.text = url;
    questions_.push_back(q);
}

std::vector<ScriptedResponder::Question> ScriptedResponder::questions() const {
    std::lock_guard guard(mutex_);
    return questions_;
}

} // namespace trov::platform
