#include "FuzzSupport.h"

#include "platform/SettingsStore.h"
#include "platform/UserMessages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <memory>

namespace {

// Fuzzed scripts raise syntax errors and style warnings by the thousand.
class CQuietMessages : public CUserMessages {
public:
    void Show(const QString&, EMessageKind) override {}
    bool AskOkCancel(const QString&, const QString&) override { return true; }
};

struct SFuzzProcess {
    QTemporaryDir Dir{QDir::tempPath() + "/tandeo-fuzz-XXXXXX"};
    CQuietMessages Messages;
    std::unique_ptr<QGuiApplication> App;
    std::map<int, QString> SettingsFiles;  // default code page -> INI file
    int CodePage = -1;
};

SFuzzProcess* Process = nullptr;

}  // namespace

void StartFuzzing(int* argc, char*** argv, bool gui)
{
    if (Process)
        return;
    // Kept for the life of the process: libFuzzer ends it with exit().
    Process = new SFuzzProcess;
    if (!Process->Dir.isValid())
        std::abort();
    SetUserMessages(&Process->Messages);
    UseDefaultCodePage(0);
    if (gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        Process->App = std::make_unique<QGuiApplication>(*argc, *argv);
    }
}

void UseDefaultCodePage(int codePage)
{
    if (Process->CodePage == codePage)
        return;
    QString& path = Process->SettingsFiles[codePage];
    if (path.isEmpty()) {
        path = Process->Dir.filePath(QStringLiteral("settings-%1.ini").arg(codePage));
        SetSettingsFilePath(path);
        if (codePage != 0)
            WriteSettingInt("General", "Default Code Page", codePage);
    }
    SetSettingsFilePath(path);
    Process->CodePage = codePage;
}

QString WriteInputFile(const std::uint8_t* data, std::size_t size, std::string_view extension)
{
    const QString path = Process->Dir.filePath(
        "input" + QString::fromLatin1(extension.data(), static_cast<qsizetype>(extension.size())));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    if (size > 0 && file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
                        static_cast<qint64>(size))
        return {};
    return path;
}

QString ByteText(const std::uint8_t* data, std::size_t size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

std::uint8_t TakeByte(const std::uint8_t*& data, std::size_t& size)
{
    if (size == 0)
        return 0;
    --size;
    return *data++;
}
