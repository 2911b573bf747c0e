// How long an 8 MiB firmware upload by the engine takes, against the named reference: tftp-hpa's
// `tftp` client sending the same image to the same tftpd-hpa, alternated, several runs each (the
// client's time includes starting its process). Prints both medians and the ratio; it never fails.
//
// It needs a lab, where it starts tftpd-hpa in the device namespace; run it as root with
//   sudo lab/with-lab.sh --config tests/firmware/lab/upload_lab.json -- build/bench/bench_upload_lab
#include "../tests/firmware/lab/labupload.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace labupload;

namespace {

constexpr qsizetype ImageSize = 8 * 1024 * 1024;
constexpr int Runs = 5;

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    if (qEnvironmentVariableIsEmpty("FARLIGHT_LAB_DEV_NETNS")) {
        out << "not in a lab: run it through lab/with-lab.sh (see the top of bench_upload_lab.cpp)" << Qt::endl;
        return 0;
    }
    Tftpd server;
    if (const QString error = server.start(); !error.isEmpty()) {
        out << "tftpd-hpa: " << error << Qt::endl;
        return 0;
    }

    // Compressed firmware looks random.
    QByteArray image(ImageSize, Qt::Uninitialized);
    QRandomGenerator(20261210).fillRange(reinterpret_cast<quint32 *>(image.data()), ImageSize / qsizetype(sizeof(quint32)));
    const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Sha256);
    QTemporaryFile file;
    if (!file.open() || file.write(image) != image.size() || !file.flush()) {
        out << "cannot write the test image: " << file.errorString() << Qt::endl;
        return 0;
    }
    const auto arrivedIntact = [&] {
        QFile stored(server.imagePath());
        const bool intact = stored.open(QIODevice::ReadOnly)
                            && QCryptographicHash::hash(stored.readAll(), QCryptographicHash::Sha256) == digest;
        stored.remove();
        return intact;
    };

    std::vector<double> engineMs;
    std::vector<double> clientMs;
    for (int run = 0; run < Runs; ++run) {
        const auto result = upload(Tftpd::Address, image);
        if (!result || result->outcome != TftpUpload::Outcome::Complete || !arrivedIntact())
            out << "run " << run << ": the engine's upload failed" << Qt::endl;
        else
            engineMs.push_back(double(result->ns) / 1e6);

        QProcess client;
        client.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        client.start(u"tftp"_s, {u"-m"_s, u"binary"_s, Tftpd::Address, u"-c"_s, u"put"_s, file.fileName(), u"/"_s});
        const bool ended = client.waitForFinished(120'000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        // tftp-hpa reports trouble on its output, even where its status is 0.
        const QByteArray said = client.readAll().trimmed();
        if (!ended || client.exitCode() != 0 || !said.isEmpty() || !arrivedIntact())
            out << "run " << run << ": tftp failed: " << said << Qt::endl;
        else
            clientMs.push_back(ms);
    }
    if (engineMs.empty() || clientMs.empty()) {
        out << "no comparison: too many failed runs" << Qt::endl;
        return 0;
    }
    const auto list = [](const std::vector<double> &values) {
        QStringList texts;
        for (double value : values)
            texts << QString::number(value, 'f', 0);
        return texts.join(u' ');
    };
    out << "runs (ms), in order: TftpUpload " << list(engineMs) << "; tftp-hpa " << list(clientMs) << Qt::endl;
    const double engine = median(engineMs);
    const double client = median(clientMs);
    out << "8 MiB to tftpd-hpa, median of " << engineMs.size() << " and " << clientMs.size() << " runs:" << Qt::endl
        << "  TftpUpload   " << engine << " ms" << Qt::endl
        << "  tftp-hpa     " << client << " ms" << Qt::endl
        << "  ratio        " << engine / client << " (at most 1: at least as fast as tftp-hpa)" << Qt::endl;
    return 0;
}
