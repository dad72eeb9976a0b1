#pragma once
// What the window's tests share: a settings store of their own in a
// temporary folder, recorded messages, scripted dialogs, and the
// application started and stopped as a user does.

#include "app/MainFrame.h"
#include "app/TandeoApp.h"
#include "app/TandeoView.h"
#include "platform/SettingsStore.h"
#include "support/RecordedMessages.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QTemporaryDir>

#include <memory>

class CWindowTestBase {
protected:
    // For the test's init(): a fresh store, nothing recorded, no window.
    bool Prepare()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        if (!dir_->isValid())
            return false;
        SetSettingsFilePath(dir_->filePath("Tandeo.ini"));
        messages_ = std::make_unique<CRecordedMessages>();
        dialogs_ = std::make_unique<CScriptedDialogs>();
        return true;
    }
    // For the test's cleanup().
    void Release()
    {
        app_.reset();
        dialogs_.reset();
        messages_.reset();
        SetSettingsFilePath(QString());
        dir_.reset();
    }

    void Start()
    {
        app_ = std::make_unique<CTandeoApp>(false);
        app_->Start();
    }
    // Closes the window as the user does; the settings go to the store.
    void Stop()
    {
        Frame()->close();
        app_.reset();
    }
    // The command, with the open dialog answered by `path`.
    void Open(ECommand command, const QString& path)
    {
        dialogs_->OpenAnswers.push_back(path);
        Frame()->Action(command)->trigger();
    }

    CMainFrame* Frame() const { return app_->MainFrame(); }
    QString Out(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<CRecordedMessages> messages_;
    std::unique_ptr<CScriptedDialogs> dialogs_;
    std::unique_ptr<CTandeoApp> app_;
};
