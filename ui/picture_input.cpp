// The window's side of reading pictures: where a picture comes from (clipboard, drop, file
// dialog), the reading on a thread of its own, and what the person is told. The reading itself
// is the reader's (scan.h), the same that velmo-scan runs.
#include "picture_input.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <cmath>
#include <span>

#include "background_task.h"
#include "scan.h"

namespace {

// A file larger than this is no picture of a puzzle; reading it whole would only cost memory.
constexpr qint64 kMaxFileBytes = 100 * 1024 * 1024;
// Pixels handed to the reader at most; a larger picture is scaled down first, as the reader
// itself reduces a large file while decoding it.
constexpr qint64 kMaxImagePixels = 36'000'000;

CScanResult BadPicture(const char* why) {
    CScanResult result;
    result.status = CScanStatus::kBadPicture;
    result.message = why;
    return result;
}

// The first local file a drag or drop carries, or an empty string.
QString LocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return {};
}

CScanResult ScanFile(const QString& path) {
    // A device or a pipe could be read without end, and the window waits for this thread
    // when it closes.
    if (!QFileInfo(path).isFile()) return BadPicture("not a file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return BadPicture("cannot open the file");
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) return BadPicture("file too large");
    return ScanPicture(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

// Grey pixels of `image` as the reader takes them; a transparent background reads as white
// paper, not as the black its pixels' colour channels often hold.
CScanResult ScanImage(QImage image) {
    if (image.isNull()) return BadPicture("empty picture");
    if (qint64(image.width()) * image.height() > kMaxImagePixels) {
        const double side = std::sqrt(double(kMaxImagePixels));
        image = image.scaled(int(side), int(side), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        image = flat;
    }
    image = image.convertToFormat(QImage::Format_Grayscale8);
    return ScanPixels(image.constBits(), image.width(), image.height(), 1,
                      size_t(image.bytesPerLine()));
}

}  // namespace

CPictureInput::CPictureInput(QWidget* dialog, const std::array<QLineEdit*, kCellCount>& cells,
                             Fill fill)
    : QObject(dialog),
      m_dialog(dialog),
      m_fill(std::move(fill)),
      m_task(new CBackgroundTask(this)),
      m_openAction(new QAction(tr("打开图片…"), this)) {
    m_openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_openAction, &QAction::triggered, this, &CPictureInput::OnOpenPicture);
    dialog->addAction(m_openAction);

    dialog->setAcceptDrops(true);
    dialog->installEventFilter(this);
    for (QLineEdit* cell : cells) cell->installEventFilter(this);

    connect(m_task, &CBackgroundTask::RunningChanged, this, [this](bool running) {
        if (running) {
            m_dialog->setCursor(Qt::BusyCursor);
        } else {
            m_dialog->unsetCursor();
        }
    });
}

bool CPictureInput::ClipboardHasPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
}

bool CPictureInput::PasteFromClipboard() {
    if (!ClipboardHasPicture()) return false;
    ReadImage(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()));
    return true;
}

void CPictureInput::OnOpenPicture() {
    if (m_fileDialog) {
        m_fileDialog->raise();
        return;
    }
    // open(), not exec(): the window's own loop keeps running, and nothing waits on the box.
    m_fileDialog = new QFileDialog(m_dialog, tr("打开图片"), QString(),
                                   tr("图片 (*.png *.jpg *.jpeg *.bmp *.webp *.tif *.tiff *.pbm "
                                      "*.pgm *.ppm);;所有文件 (*)"));
    m_fileDialog->setObjectName(QStringLiteral("openPictureDialog"));
    m_fileDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_fileDialog->setFileMode(QFileDialog::ExistingFile);
    connect(m_fileDialog, &QFileDialog::fileSelected, this, &CPictureInput::ReadFile);
    m_fileDialog->open();
}

void CPictureInput::ReadFile(const QString& path) {
    m_task->Start([path](std::stop_token) { return ScanFile(path); },
                  [this](const CScanResult& result) { OnRead(result); });
}

void CPictureInput::ReadImage(const QImage& image) {
    m_task->Start([image](std::stop_token) { return ScanImage(image); },
                  [this](const CScanResult& result) { OnRead(result); });
}

void CPictureInput::ReadDropped(const QMimeData* data) {
    const QString file = LocalFile(data);
    if (!file.isEmpty()) {
        ReadFile(file);
    } else {
        ReadImage(qvariant_cast<QImage>(data->imageData()));
    }
}

void CPictureInput::AddCellActions(QMenu* menu) {
    menu->addAction(m_openAction);
}

bool CPictureInput::IsReading() const {
    return m_task->IsRunning();
}

void CPictureInput::OnRead(const CScanResult& result) {
    if (result.status == CScanStatus::kBadPicture) {
        Say(tr("无法读取图片"));
        return;
    }
    if (result.status == CScanStatus::kNoPuzzle) {
        Say(tr("未找到题目"));
        return;
    }
    // A cell the solver changed is among them: the reading it replaced was more probable,
    // so the digit written has a certainty below one half.
    std::bitset<kCellCount> check;
    for (int i = 0; i < kCellCount; ++i) check[i] = result.certainty[i] < kUnsureBelow;
    m_fill(result.puzzle, check);
}

void CPictureInput::Say(const QString& text) {
    QApplication::beep();
    auto* box = new QMessageBox(QMessageBox::NoIcon, QApplication::applicationName(), text,
                                QMessageBox::Ok, m_dialog);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool CPictureInput::IsPictureDrag(const QMimeData* data) {
    return data != nullptr && (!LocalFile(data).isEmpty() || data->hasImage());
}

// A picture dragged over a cell is the window's, not the field's: the field would insert the
// file's path as text.
bool CPictureInput::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!IsPictureDrag(drag->mimeData())) break;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!IsPictureDrag(drop->mimeData())) break;
            drop->acceptProposedAction();
            ReadDropped(drop->mimeData());
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
