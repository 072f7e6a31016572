#pragma once
// The traffic monitor: a child window listing every telegram the device link writes and
// reads, one monitor line per entry, rendered by character name or in hex, capped at
// 1000 entries, saved to a log file on request. A telegram longer than the list can show
// (a flushed backlog, a runaway reply) is rendered only as far as the list holds, and a
// last entry says how many of its bytes were dropped: rendering never grows with it.
//
// The list view is fed in batches: Add renders and stores the entries at once (the
// stored entries are what entryCount/entry and the log file see), while the view learns
// about new rows on a short timer, so a burst of telegrams costs one view update.

#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QFileDialog;
class QFrame;
class QListView;
class QPushButton;
class QRadioButton;

namespace orvid {

class MonitorListModel;

class frmMonitor : public QWidget, public IMonitor, public IToolWindow {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 1000;
    static constexpr int FlushIntervalMs = 50;

    explicit frmMonitor(AppContext& ctx, QWidget* parent = nullptr);
    ~frmMonitor() override;

    // Builds the character-name table (idempotent).
    void Init();
    void Add(const QByteArray& prefix, const QByteArray& data, const QVariant& flag = {}) override;

    // IToolWindow
    QString Name() const override { return QStringLiteral("frmMonitor"); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    int entryCount() const { return int(entries_.size()); }
    QString entry(int i) const { return entries_.value(i); }

    // Writes the list as Windows-1252 text, one entry per CR LF line, oldest first.
    // On failure shows message 6 and returns false; the list is unchanged either way.
    bool SaveTo(const QString& path);

    // Current line width W in characters (0 until the list has been measured).
    int lineWidth() const { return lineWidth_; }
    bool hexMode() const;

    // W for a text width and the font's advance (the width of a blank, fractions kept):
    // an entry stays below W characters, so W - 1 of them are as many as the text width
    // holds. 0 while no font has been measured.
    static int ComputeLineWidth(double textWidth, double charWidth);
    // Renders one telegram into monitor entries: every entry starts with the prefix, a
    // name is never split, and no entry holds only the prefix. With maxEntries > 0 it stops
    // after that many entries; *rendered (when given) tells how many leading bytes of data
    // the entries hold.
    static QStringList RenderEntries(const QString& prefix, const QByteArray& data,
                                     bool hexMode, int lineWidth, const QStringList& names,
                                     int maxEntries = 0, qsizetype* rendered = nullptr);
    // The last entry of a telegram that did not fit: "... (N Bytes verworfen)".
    QString DroppedNote(qsizetype droppedBytes) const;

    // The view is normally told about new rows on a timer; this does it now.
    void flushView();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void load();
    void closeHandling();
    void placeDefault();
    void updateLineWidth();
    double entryTextWidth() const;
    void appendEntries(const QStringList& lines);
    void clearList();
    void btSave_Click();
    QWidget* container() const;

    AppContext& ctx_;
    bool loaded_ = false;
    double charWidth_ = 0.0;
    int lineWidth_ = 0;

    QList<QString> entries_;   // authoritative contents, oldest first, at most MaxEntries
    QList<QString> pending_;   // entries the view has not been told about yet
    bool pendingOverflow_ = false; // more than MaxEntries arrived since the last flush
    QTimer flushTimer_;

    MonitorListModel* model_ = nullptr;
    QListView* lstComm = nullptr;
    QFrame* picMode = nullptr;
    QRadioButton* rdMode[2] = {nullptr, nullptr};
    QButtonGroup* modeGroup_ = nullptr;
    QPushButton* btSave = nullptr;
    QPushButton* btClear = nullptr;
    QCheckBox* chkDynamic = nullptr;
    QCheckBox* chkStatic = nullptr;
    QFileDialog* comdlgSave = nullptr;
};

} // namespace orvid
