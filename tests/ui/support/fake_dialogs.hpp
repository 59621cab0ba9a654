#pragma once
// Dialogs for window tests: records every message and answers questions and
// input boxes from queues, without a modal loop.
#include <deque>
#include <optional>
#include <vector>

#include "ui/common/dialogs.hpp"

namespace ferro::test {

struct ShownMessage {
    QString text;
    MessageIcon icon;
    QString title;
    bool question = false;
};

class FakeDialogs : public Dialogs {
public:
    std::vector<ShownMessage> messages;
    std::deque<bool> answers;                     // for askYesNo; No when empty
    std::deque<std::optional<QString>> inputs;    // for inputText; cancel when empty
    QString clipboard;
    QSize screen{1920, 1080};
    // Answers for the file and folder dialogs, in order; cancel when empty.
    std::deque<std::optional<QString>> files;
    std::deque<std::optional<QString>> folders;
    struct FileRequest {
        QString caption;
        QString start;  // the suggested path or the start folder
        QString filter;
    };
    std::vector<FileRequest> fileRequests;

    void showMessage(const QString& text, MessageIcon icon, const QString& title = QString()) override {
        messages.push_back({text, icon, title.isEmpty() ? QString("Ferrocanto") : title, false});
    }
    bool askYesNo(const QString& text, MessageIcon icon, bool, const QString& title = QString()) override {
        messages.push_back({text, icon, title.isEmpty() ? QString("Ferrocanto") : title, true});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<QString> inputText(const QString& prompt, const QString& title, const QString&) override {
        messages.push_back({prompt, MessageIcon::Question, title, true});
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
    QString clipboardText() override { return clipboard; }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QSize screenSize() override { return screen; }
    std::optional<QString> saveFileName(const QString& caption, const QString& suggested, const QString& filter) override {
        fileRequests.push_back({caption, suggested, filter});
        return next(files);
    }
    std::optional<QString> openFileName(const QString& caption, const QString& start, const QString& filter) override {
        fileRequests.push_back({caption, start, filter});
        return next(files);
    }
    std::optional<QString> existingFolder(const QString& caption, const QString& start) override {
        fileRequests.push_back({caption, start, QString()});
        return next(folders);
    }

    static std::optional<QString> next(std::deque<std::optional<QString>>& answers) {
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }

    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
};

}  // namespace ferro::test
