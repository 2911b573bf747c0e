// How long an 8 MiB firmware upload by the engine takes, against the named reference: tftp-hpa's
// `tftp` client sending the same image to the same tftpd-hpa, alternated, several runs each (the
// client's time includes starting its process). atftp and curl (without TFTP options, as plain
// RFC 1350 like the engine) are measured alike and shown beside it. Prints the medians and the
// ratio to tftp-hpa; it never fails.
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
constexpr int Runs = 7;

struct Client
{
    QString name;
    QString program;
    QStringList arguments; ///< %1 stands for the image file
    std::vector<double> ms = {};
};

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

    // The engine's file name "/" is what the server's remap rule expects of every client.
    std::vector<Client> clients = {
        {u"tftp-hpa"_s, u"tftp"_s, {u"-m"_s, u"binary"_s, Tftpd::Address, u"-c"_s, u"put"_s, u"%1"_s, u"/"_s}},
        {u"atftp"_s, u"atftp"_s, {u"-p"_s, u"-l"_s, u"%1"_s, u"-r"_s, u"/"_s, Tftpd::Address}},
        {u"curl"_s,
         u"curl"_s,
         {u"-sS"_s, u"--tftp-no-options"_s, u"-T"_s, u"%1"_s, u"tftp://"_s + Tftpd::Address + u"/%2F"_s}},
    };
    std::vector<double> engineMs;
    for (int run = 0; run < Runs; ++run) {
        const auto result = upload(Tftpd::Address, image);
        if (!result || result->outcome != TftpUpload::Outcome::Complete || !arrivedIntact())
            out << "run " << run << ": the engine's upload failed" << Qt::endl;
        else
            engineMs.push_back(double(result->ns) / 1e6);

        for (Client &reference : clients) {
            QStringList arguments = reference.arguments;
            arguments.replaceInStrings(u"%1"_s, file.fileName());
            QProcess client;
            client.setProcessChannelMode(QProcess::MergedChannels);
            QElapsedTimer clock;
            clock.start();
            client.start(reference.program, arguments);
            const bool ended = client.waitForFinished(120'000);
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            // tftp-hpa reports trouble on its output, even where its status is 0.
            const QByteArray said = client.readAll().trimmed();
            if (!ended || client.exitCode() != 0 || !said.isEmpty() || !arrivedIntact())
                out << "run " << run << ": " << reference.name << " failed: " << said << Qt::endl;
            else
                reference.ms.push_back(ms);
        }
    }
    const Client &reference = clients.front();
    if (engineMs.empty() || reference.ms.empty()) {
        out << "no comparison: too many failed runs" << Qt::endl;
        return 0;
    }
    const auto list = [](const std::vector<double> &values) {
        QStringList texts;
        for (double value : values)
            texts << QString::number(value, 'f', 0);
        return texts.join(u' ');
    };
    out << "runs (ms), in order: TftpUpload " << list(engineMs);
    for (const Client &client : clients)
        out << "; " << client.name << ' ' << list(client.ms);
    out << Qt::endl;
    const double engine = median(engineMs);
    out << "8 MiB to tftpd-hpa, medians of up to " << Runs << " runs:" << Qt::endl
        << "  TftpUpload   " << QString::number(engine, 'f', 1) << " ms" << Qt::endl;
    for (const Client &client : clients) {
        out << "  " << client.name.leftJustified(12) << ' '
            << (client.ms.empty() ? u"failed"_s : QString::number(median(client.ms), 'f', 1) + u" ms"_s) << Qt::endl;
    }
    out << "  ratio        " << QString::number(engine / median(reference.ms), 'f', 2)
        << " to tftp-hpa (at most 1: at least as fast)" << Qt::endl;
    return 0;
}
