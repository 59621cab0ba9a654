#pragma once
// Every message box, question, input box, clipboard access and the screen
// size go through this interface, so that tests can answer questions and read
// messages without a modal loop.
#include <QSize>
#include <QString>
#include <optional>

namespace ferro {

// Plain: a message box without an icon.
enum class MessageIcon { Critical, Exclamation, Question, Information, Plain };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message with an OK button. An empty title means the program title.
    virtual void showMessage(const QString& text, MessageIcon icon, const QString& title = QString()) = 0;
    // A question with Yes and No; returns true for Yes.
    virtual bool askYesNo(const QString& text, MessageIcon icon, bool defaultNo = false,
                          const QString& title = QString()) = 0;
    // An input box; nullopt when cancelled.
    virtual std::optional<QString> inputText(const QString& prompt, const QString& title,
                                             const QString& defaultText) = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // The screen's size in pixels.
    virtual QSize screenSize() = 0;
    // A file to write, asking before replacing one; nullopt when cancelled.
    // `filter` as Qt's file dialogs take it ("VGM files (*.vgm)").
    virtual std::optional<QString> saveFileName(const QString& caption, const QString& suggestedPath,
                                                const QString& filter) = 0;
    // A file to read; nullopt when cancelled.
    virtual std::optional<QString> openFileName(const QString& caption, const QString& startFolder,
                                                const QString& filter) = 0;
    // An existing folder; nullopt when cancelled.
    virtual std::optional<QString> existingFolder(const QString& caption, const QString& startFolder) = 0;
};

// The real thing: Qt's message boxes, input dialog and clipboard.
class QtDialogs : public Dialogs {
public:
    void showMessage(const QString& text, MessageIcon icon, const QString& title = QString()) override;
    bool askYesNo(const QString& text, MessageIcon icon, bool defaultNo = false,
                  const QString& title = QString()) override;
    std::optional<QString> inputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    QSize screenSize() override;
    std::optional<QString> saveFileName(const QString& caption, const QString& suggestedPath,
                                        const QString& filter) override;
    std::optional<QString> openFileName(const QString& caption, const QString& startFolder,
                                        const QString& filter) override;
    std::optional<QString> existingFolder(const QString& caption, const QString& startFolder) override;
};

}  // namespace ferro
