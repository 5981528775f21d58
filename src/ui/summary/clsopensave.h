#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace kolvo {

class FileDialogs;
struct EditSession;

// The one file dialog wrapper of the summary window. It keeps the old
// property interface (the commands set properties, call ShowOpen/ShowSave,
// then read FileName back) over the FileDialogs service. Because a single
// instance serves every dialog, the path chosen last decides where the next
// dialog starts.
class clsOpenSave {
  public:
    // Option flags, with the values of the common dialog options they stand
    // for. Only FILEMUSTEXIST changes what the dialog does: a save-type
    // dialog always asks before replacing a file.
    static constexpr std::int32_t OFN_OVERWRITEPROMPT = 0x2;
    static constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

    clsOpenSave(FileDialogs& dialogs, EditSession& session);

    std::int16_t FileExt() const { return m_fileExt; }
    void setFileExt(std::int16_t v) { m_fileExt = v; }
    QWidget* hwnd() const { return m_hwnd; }
    void setHwnd(QWidget* w) { m_hwnd = w; }

    // Shows the dialog. Cancelled: dialogcancelled := 1 and nothing changes.
    // Chosen: FileName, FileTitle, FileExt and InitDir follow the choice.
    void ShowSave();
    void ShowOpen();

    std::int16_t MaxFileSize() const { return m_maxFileSize; }
    void setMaxFileSize(std::int16_t v) { m_maxFileSize = v; }
    const QString& InitDir() const { return m_initDir; }
    void setInitDir(const QString& v) { m_initDir = v; }
    std::int32_t Flags() const { return m_flags; }
    void setFlags(std::int32_t v) { m_flags = v; }
    // "Description|*.a;*.b|..." in, kept in the platform's NUL-separated
    // form (ending in two NULs).
    QString Filter() const { return m_filter; }
    void setFilter(const QString& v);
    std::int16_t FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(std::int16_t v) { m_filterIndex = v; }
    const QString& FileTitle() const { return m_fileTitle; }
    void setFileTitle(const QString& v) { m_fileTitle = v; }
    const QString& FileName() const { return m_fileName; }
    void setFileName(const QString& v) { m_fileName = v; }
    const QString& DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString& v) { m_dialogTitle = v; }
    const QString& DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& v) { m_defaultExt = v; }
    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool v) { m_cancelError = v; }

    // FileName without its last FileTitle-long part: the folder, keeping its
    // trailing "/" ("" when FileName is empty).
    QString folderOfFileName() const;

  private:
    void show(bool save);

    FileDialogs& m_dialogs;
    EditSession& m_session;
    std::int16_t m_fileExt = 0;
    QWidget* m_hwnd = nullptr;
    std::int16_t m_maxFileSize = 260;
    QString m_initDir = QStringLiteral("/");
    std::int32_t m_flags = 0;
    QString m_filter;
    std::int16_t m_filterIndex = 1;
    QString m_fileTitle;
    QString m_fileName;
    QString m_dialogTitle;
    QString m_defaultExt;
    bool m_cancelError = false;
};

} // namespace kolvo
