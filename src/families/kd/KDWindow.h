#pragma once
// What the two inductive system D windows build and do alike: the head frame showing the
// unit's type, with the window's controls on the left, the reply list in the middle and
// the buttons on the right (the window's own, then Stop and Clear); the reply lines; the
// frame title and its no-head text; the minimum size once placed.

#include "families/common/FamilyForm.h"

#include <functional>

class QGroupBox;
class QPushButton;
class QVBoxLayout;

namespace orvid {

class TagDataList;

class KDWindow : public FamilyForm {
    Q_OBJECT
public:
    using FamilyForm::FamilyForm;

    // Kind 1 a text line, kind 2 the caption (head label and head) and the device's bytes.
    void AddData(int kind, const QByteArray& caption, const QByteArray& data) override;
    // frameHead's caption: title, or the no-head text when title is empty.
    void SetRWFrameTitle(const QString& title);

    // Polling off, then the window's StopBuffered.
    void btStop_Click();
    void btClear_Click();

    QString NoHeadText = QStringLiteral("Kein Schreib/Lesekopf vorhanden");

    QGroupBox* frameHead = nullptr;
    QGroupBox* frameTagData = nullptr;
    TagDataList* lstTagData = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClear = nullptr;

protected:
    // Builds the skeleton; controls fills the left column, buttons puts the window's own
    // buttons above Stop and Clear.
    void buildSkeleton(const std::function<void(QVBoxLayout*)>& controls,
                       const std::function<void(QVBoxLayout*)>& buttons);
    void OnPlaced() override;
    // The window's texts from the language file, the no-head text among them, and the
    // frame title from data item 1 (the unit's type).
    void applyLanguage();
    void refreshTitle();
};

} // namespace orvid
