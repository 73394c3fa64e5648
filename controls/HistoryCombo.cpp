#include "controls/HistoryCombo.h"

#include <QAction>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QToolButton>
#include <QValidator>
#include <QtMath>
#include <algorithm>

#include "controls/HistoryStore.h"
#include "controls/ToolbarPlacement.h"
#include "platform/FileDialog.h"
#include "res/Strings.h"
#include "res/ToolbarResource.h"

static void InitToolbarResources() {
  Q_INIT_RESOURCE(toolbar);
}

namespace {

// A button is its 16x15 image with a border; the toolbar adds its own borders around the row.
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kToolbarId = 0xE800;
constexpr QRgb kImageBackground = 0xFFC0C0C0;  // light grey: shows the button face instead

QString ToQ(const std::string& s) {
  return QString::fromStdString(s);
}
std::string FromQ(const QString& s) {
  return s.toStdString();
}

// The strip drawn at the screen's pixel density: each image is its size times ratio in pixels.
std::vector<QPixmap> LoadStrip(const ToolbarResource& resource, qreal ratio) {
  InitToolbarResources();
  const int count = static_cast<int>(resource.commands.size());
  const int width = qCeil(resource.imageWidth * ratio);
  const int height = qCeil(resource.imageHeight * ratio);
  QImage strip(width * count, height, QImage::Format_ARGB32);
  strip.fill(kImageBackground);
  QSvgRenderer renderer(ToQ(resource.imagePath));
  if (renderer.isValid()) {
    QPainter painter(&strip);
    renderer.render(&painter, QRectF(0, 0, strip.width(), strip.height()));
  }
  for (int y = 0; y < strip.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
    for (int x = 0; x < strip.width(); ++x) {
      if (line[x] == kImageBackground) line[x] = 0;
    }
  }
  std::vector<QPixmap> images;
  for (int i = 0; i < count; ++i) {
    QImage image = strip.copy(i * width, 0, width, height);
    image.setDevicePixelRatio(ratio);
    images.push_back(QPixmap::fromImage(std::move(image)));
  }
  return images;
}

// The mandatory line breaks: LF, VT, FF, CR, NEL, and the line and paragraph separators.
bool IsLineBreak(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// text as one line: line breaks at its ends dropped, each run of them inside as one blank, so
// the words on either side stay apart. cursor, when given, moves with the text it stood before.
QString OneLine(const QString& text, int* cursor = nullptr) {
  if (std::none_of(text.begin(), text.end(), IsLineBreak)) return text;
  qsizetype first = 0, last = text.size();
  while (first < last && IsLineBreak(text[first])) ++first;
  while (last > first && IsLineBreak(text[last - 1])) --last;
  QString out;
  out.reserve(last - first);
  int moved = -1;
  for (qsizetype i = first; i < last; ++i) {
    if (cursor && i == *cursor) moved = static_cast<int>(out.size());
    if (!IsLineBreak(text[i]))
      out += text[i];
    else if (!IsLineBreak(text[i - 1]))
      out += QLatin1Char(' ');
  }
  if (cursor) *cursor = moved >= 0 ? moved : *cursor <= first ? 0 : static_cast<int>(out.size());
  return out;
}

// Every way text enters the edit field (typing, an input method, pasting, dropping, the program)
// passes here.
class OneLineValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& text, int& cursor) const override {
    text = OneLine(text, &cursor);
    return Acceptable;
  }
};

}  // namespace

CHistoryCombo::CHistoryCombo(int toolbarPosition, bool bOutside, unsigned toolbarResource, QWidget* parent)
    : QComboBox(parent),
      m_nToolbarPosition(toolbarPosition),
      m_bOutside(bOutside),
      m_nToolbarResource(toolbarResource) {
  setEditable(true);
  m_pListModel = new CHistoryListModel(m_model, this);
  setModel(m_pListModel);
  // Completion is our own, and only AddToHistory puts items in: not Enter, not Qt's completer.
  setCompleter(nullptr);
  setInsertPolicy(QComboBox::NoInsert);
  setDuplicatesEnabled(true);
  // The box is one line: a pasted text's line breaks do not enter it as such.
  setValidator(new OneLineValidator(this));
  lineEdit()->installEventFilter(this);
  installEventFilter(this);
  connect(lineEdit(), &QLineEdit::textEdited, this, &CHistoryCombo::OnEditTextEdited);
  connect(this, &QComboBox::currentIndexChanged, this, &CHistoryCombo::OnIndexChanged);
  // Choosing the item Qt still holds as current changes no index, yet selects it.
  connect(this, &QComboBox::activated, this, &CHistoryCombo::OnIndexChanged);
  connect(this, &QComboBox::editTextChanged, this, [this] { UpdateButtonStates(); });
  if (parent) CreateToolbar();
}

CHistoryCombo::~CHistoryCombo() {
  delete m_pToolbar.data();
}

QString CHistoryCombo::ToolbarTooltip(unsigned id) {
  if (id == 0) return QString();
  const std::string text = LoadResString(id);
  const size_t newline = text.find('\n');
  if (newline == std::string::npos) return QString();
  // The tooltip buffer holds 80 characters with its terminating NUL.
  return ToQ(text.substr(newline + 1)).left(79);
}

void CHistoryCombo::CreateToolbar(QWidget* parent) {
  if (!parent) parent = parentWidget();
  if (!parent || m_pToolbar) return;
  m_pToolbar = new QToolBar(parent);
  m_pToolbar->setObjectName(QString::number(kToolbarId));
  m_pToolbar->setAccessibleName(tr("History toolbar"));
  m_pToolbar->setMovable(false);
  m_pToolbar->setFloatable(false);
  m_pToolbar->setOrientation(Qt::Horizontal);
  m_pToolbar->setIconSize(QSize(16, 15));
  m_pToolbar->layout()->setSpacing(0);
  m_pToolbar->layout()->setContentsMargins(ToolbarPlacement::kLeftBorder, ToolbarPlacement::kTopBorder,
                                           ToolbarPlacement::kRightBorder, ToolbarPlacement::kBottomBorder);
  m_pToolbar->hide();
  LoadToolbar();
  UpdateToolbarButtons();
  SetToolbarPosition(m_nToolbarPosition, m_bOutside);
}

void CHistoryCombo::LoadToolbar() {
  m_loaded.clear();
  const ToolbarResource* resource = ToolbarResource::Find(m_nToolbarResource);
  if (!resource) return;
  std::vector<QPixmap> images = LoadStrip(*resource, devicePixelRatioF());
  for (size_t i = 0; i < resource->commands.size(); ++i)
    m_loaded.push_back({resource->commands[i], images[i]});
}

void CHistoryCombo::UpdateToolbarButtons() {
  if (!m_pToolbar) return;
  std::vector<Button> shown;
  const size_t n = std::min<size_t>(m_loaded.size(), 10);
  for (size_t i = 0; i < n; ++i) {
    if (m_abShowButton[i]) shown.push_back(m_loaded[i]);
  }
  m_bHasShownButtons = !shown.empty();
  if (!m_bHasShownButtons) shown.assign(m_loaded.begin(), m_loaded.end());
  m_pToolbar->clear();
  for (const Button& button : shown) {
    QAction* action = m_pToolbar->addAction(QIcon(button.image), ToolbarTooltip(button.id));
    action->setData(button.id);
    action->setObjectName(QString::number(button.id));
    const unsigned id = button.id;
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (QWidget* widget = m_pToolbar->widgetForAction(action)) {
      widget->setFixedSize(kButtonWidth, kButtonHeight);
      widget->setObjectName(QString::number(button.id));
      widget->setAccessibleName(ToolbarTooltip(button.id));
    }
  }
  m_pToolbar->setFixedSize(ToolbarPlacement::kLeftBorder + kButtonWidth * static_cast<int>(shown.size()) +
                               ToolbarPlacement::kRightBorder,
                           ToolbarPlacement::kTopBorder + kButtonHeight + ToolbarPlacement::kBottomBorder);
  UpdateButtonStates();
}

void CHistoryCombo::SetToolbarPosition(int position, bool bOutside) {
  m_nToolbarPosition = position;
  m_bOutside = bOutside;
  if (!m_pToolbar) return;
  const QRect g = geometry();
  QPoint topLeft = g.topLeft();
  if (m_pToolbar->parentWidget() != parentWidget()) {
    topLeft = m_pToolbar->parentWidget()->mapFromGlobal(mapToGlobal(QPoint(0, 0)));
  }
  const ToolbarPlacement::Rect r{topLeft.x(), topLeft.y(), topLeft.x() + g.width(), topLeft.y() + g.height()};
  int x = 0, y = 0;
  // Position 1 hides the toolbar; codes without a place do the same.
  if (!ToolbarPlacement::Origin(position, bOutside, r, m_pToolbar->width(), m_pToolbar->height(), x, y)) {
    m_pToolbar->hide();
    return;
  }
  m_pToolbar->move(x, y);
  m_pToolbar->setVisible(m_bHasShownButtons);
  m_pToolbar->raise();
  m_pToolbar->update();
}

void CHistoryCombo::ShowButton(int index, bool bShow) {
  if (index >= 0 && index < 10) m_abShowButton[index] = bShow;
}

void CHistoryCombo::RefreshToolbar() {
  if (!m_pToolbar) return;
  LoadToolbar();
  UpdateToolbarButtons();
  SetToolbarPosition(GetToolbarPosition(), m_bOutside);
}

void CHistoryCombo::UpdateButtonStates() {
  if (!m_pToolbar) return;
  for (QAction* action : m_pToolbar->actions()) {
    const unsigned id = action->data().toUInt();
    bool enabled = false;
    if (id == ID_HISTORY_ADD) enabled = CanAddItem();
    if (id == ID_HISTORY_DELETE) enabled = CanRemoveItem();
    if (id == ID_HISTORY_BROWSE) enabled = CanBrowse();
    action->setEnabled(enabled);
  }
}

void CHistoryCombo::OnCommand(unsigned id) {
  if (id == ID_HISTORY_ADD && CanAddItem()) AddToHistory();
  if (id == ID_HISTORY_DELETE && CanRemoveItem()) RemoveItem(-1);
  if (id == ID_HISTORY_BROWSE && CanBrowse()) BrowseForFile();
}

bool CHistoryCombo::CanAddItem() {
  return !currentText().isEmpty();
}
bool CHistoryCombo::CanRemoveItem() {
  return m_model.GetCurSel() >= 0;
}
bool CHistoryCombo::CanBrowse() {
  return true;
}

void CHistoryCombo::SyncList(const QString& editText) {
  {
    const QSignalBlocker block(this);
    m_pListModel->Refresh();
    setCurrentIndex(m_model.GetCurSel());
    if (m_model.GetCurSel() < 0) setEditText(editText);
  }
  UpdateButtonStates();
}

bool CHistoryCombo::AddToHistory(const QString& text) {
  const QString item = OneLine(text.isEmpty() ? currentText() : text);
  if (item.isEmpty()) return false;
  const bool added = m_model.AddToHistory(FromQ(item));
  SyncList(item);
  lineEdit()->selectAll();
  return added;
}

bool CHistoryCombo::RemoveItem(int index) {
  const QString edit = currentText();
  if (!m_model.RemoveItem(index)) return false;
  // Removing the last item empties the edit field too.
  SyncList(m_model.Count() == 0 ? QString() : edit);
  return true;
}

void CHistoryCombo::SetMaxHistoryCount(unsigned count) {
  m_model.SetMaxHistoryCount(count);
  SyncList(currentText());
}

QString CHistoryCombo::GetHistoryString() const {
  return ToQ(m_model.GetHistoryString());
}

void CHistoryCombo::SetHistoryString(const QString& history) {
  m_model.SetHistoryString(FromQ(history));
  KeepItemsOneLine();
  SyncList(QString());
}

bool CHistoryCombo::BrowseForFile() {
  FileDialogRequest request;
  request.open = true;
  request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  // Every file, extensionless ones included: "*.*" of the original is "*" here, and a start name
  // of "*.*" would only be a file of that name.
  request.filter = "All Files (*.*)|*||";
  request.owner = this;
  std::optional<std::string> path = ShowFileDialog(request);
  if (!path) return false;
  m_model.SetCurSel(-1);
  SyncList(ToQ(*path));
  return true;
}

bool CHistoryCombo::SaveHistory(const QString& valueName, const QString& company, const QString& application,
                                bool bAddCurrentText) {
  std::string c = FromQ(company), a = FromQ(application);
  if (!HistoryStore::ResolveNames(FromQ(valueName), c, a)) return false;
  if (bAddCurrentText) AddToHistory();
  return HistoryStore::WriteHistory(c, a, FromQ(valueName), m_model.Items());
}

bool CHistoryCombo::RestoreHistory(const QString& valueName, const QString& company,
                                   const QString& application, bool bSelectFirst) {
  std::string c = FromQ(company), a = FromQ(application);
  if (!HistoryStore::ResolveNames(FromQ(valueName), c, a)) return false;
  const HistoryStore::Stored stored = HistoryStore::ReadHistory(c, a, FromQ(valueName));
  if (stored.items)
    m_model.SetHistoryItems(*stored.items);
  else
    m_model.SetHistoryString(FromQ(ToQ(stored.text)));
  KeepItemsOneLine();
  SyncList(QString());
  if (bSelectFirst && m_model.Count() > 0) {
    m_model.SetCurSel(0);
    SyncList(QString());
    lineEdit()->selectAll();
  }
  return true;
}

void CHistoryCombo::KeepItemsOneLine() {
  // A history kept before the box was one line may hold items with line breaks: they become the
  // items the box would have added, the newer of two equal ones kept.
  std::vector<std::string> items;
  bool changed = false;
  for (const std::string& item : m_model.Items()) {
    const QString text = ToQ(item);
    const QString line = OneLine(text);
    changed |= line != text;
    items.push_back(line == text ? item : FromQ(line));
  }
  if (!changed) return;
  CHistoryModel merged;
  merged.SetMaxHistoryCount(static_cast<unsigned>(items.size()));
  for (auto it = items.rbegin(); it != items.rend(); ++it) merged.AddToHistory(*it);
  m_model.SetHistoryItems(merged.Items());
}

void CHistoryCombo::OnIndexChanged(int index) {
  // A choice from the list (mouse, arrow keys) selects that item.
  m_model.SetCurSel(index);
  UpdateButtonStates();
}

void CHistoryCombo::OnEditTextEdited(const QString& text) {
  const qsizetype n = text.size();
  const int found = m_bAutoComplete && n > 0 ? m_model.FindPrefix(FromQ(text)) : -1;
  m_model.SetCurSel(found);
  if (found >= 0) {
    {
      const QSignalBlocker block(this);
      setCurrentIndex(found);
    }
    // The completed tail is selected, so the next character typed replaces it.
    lineEdit()->setSelection(static_cast<int>(n), static_cast<int>(currentText().size() - n));
  } else if (currentIndex() >= 0) {
    // Qt follows: otherwise the arrow keys would step from the old item, and choosing it again
    // from the list would change no index.
    const int cursor = lineEdit()->cursorPosition();
    {
      const QSignalBlocker block(this);
      setCurrentIndex(-1);
      setEditText(text);
    }
    lineEdit()->setCursorPosition(cursor);
  }
  UpdateButtonStates();
}

bool CHistoryCombo::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && (watched == this || watched == lineEdit())) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    m_bAutoComplete = key != Qt::Key_Delete && key != Qt::Key_Backspace;
  }
  return QComboBox::eventFilter(watched, e);
}

bool CHistoryCombo::event(QEvent* e) {
  if (e->type() == QEvent::ParentChange && !m_pToolbar && parentWidget()) CreateToolbar();
  return QComboBox::event(e);
}
