#pragma once
// The NFO viewer: a modeless, resizable, read-only window (template 132) that shows one NFO text
// unwrapped in a fixed-pitch font with full box-drawing and block coverage, so text art keeps its
// shape. Created hidden; shown by its retrieval once the text has arrived; OK and Esc hide it.
//
// It has no Qt parent: a message box it owns is modal to the viewer alone, so the form stays
// usable while one is up. It belongs to its owner all the same: it hides and comes back with it
// and is deleted with it.
#include <QDialog>
#include <QPointer>
#include <QString>
#include <string>

#include "search/WorkerPorts.h"

class CNfoTextView;
class QPushButton;

class CNfoViewerDlg : public QDialog, public NfoViewerPort {
  Q_OBJECT

 public:
  explicit CNfoViewerDlg(QWidget* owner = nullptr);
  ~CNfoViewerDlg() override;

  // The bytes as stored; see search/NfoText.h for how they are read.
  void SetNfoText(const std::string& bytes);
  CNfoTextView* TextField() const { return m_pText; }

  // Its retrieval's reports; see NfoViewerPort.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  void ShowNfo(const std::string& caption, NfoText&& text) override;
  // OK and Esc hide the viewer for good: its text goes with it.
  void done(int result) override;
  int BottomGap() const { return m_nBottomGap; }

  // The text field's font.
  static QFont TerminalFont();

  // The selected row's texts, set by the command before its worker starts.
  void SetEntry(const QString& date, const QString& directory) {
    m_strDate = date;
    m_strDirectory = directory;
  }
  const QString& Date() const { return m_strDate; }
  const QString& Directory() const { return m_strDirectory; }

 protected:
  // Called once, from the constructor: not virtual, as no subclass would be called there.
  bool OnInitDialog();
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QPointer<QWidget> m_pOwner;
  QString m_strDate;
  QString m_strDirectory;
  QPushButton* m_pOk = nullptr;
  CNfoTextView* m_pText = nullptr;
  bool m_bInitialised = false;
  // Qt's widget size is the client area (the frame is the window manager's): W and H of the
  // resize rule are measured that way throughout, which keeps the OK button centred exactly.
  int m_nWindowWidth = 0;
  int m_nWindowHeight = 0;
  int m_nBottomGap = 0;
};
