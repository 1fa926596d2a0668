#pragma once

#include "qtui/Export.h"

#include <QLineEdit>
#include <QString>

class QKeyEvent;

namespace KelBase::QtUI {

// A line edit that can show an input error: red text and the error as tool tip.
// Any edit by the user, or Escape, takes the error display away again.
class KELQT_EXPORT ExtendedLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit ExtendedLineEdit(QWidget* parent = nullptr);

signals:
    // Null after an edit; after Escape, a pointer to an empty string that is valid
    // only while the signal is being emitted.
    void clearErrorStatus(QString* text = nullptr);

public slots:
    void setError(const QString& errorText);
    void clearError();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void clearErrorByEdit(const QString&);
};

} // namespace KelBase::QtUI
