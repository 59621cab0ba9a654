#pragma once
// Placeholder until the Options window lands; the public routines below are
// the ones the other windows call and must stay.
#include <QWidget>
#include <filesystem>

#include "app/options.hpp"

namespace ferro {

class MainWindow;

class OptionsWindow : public QWidget {
    Q_OBJECT
public:
    OptionsWindow(MainWindow& main, std::filesystem::path settingsFile, QWidget* parent = nullptr)
        : QWidget(parent), main_(main), settingsFile_(std::move(settingsFile)) {
        setWindowTitle("Options");
    }
    AppOptions options() const { return options_; }
    void Salva() {}

private:
    MainWindow& main_;
    std::filesystem::path settingsFile_;
    AppOptions options_;
};

}  // namespace ferro
