#include "cli/applyrunner.h"
#include "cli/clioptions.h"
#include "cli/clirunner.h"
#include "cli/password.h"
#include "cli/terminaloutput.h"
#include "netenv/systemplatform.h"
#include "session/appstate.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <iostream>
#include <optional>
#include <string>

#if defined(Q_OS_WIN)
#include <io.h>
#define FARLIGHT_ISATTY _isatty
#else
#include <unistd.h>
#define FARLIGHT_ISATTY isatty
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("farlight-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FARLIGHT_VERSION));

    // Results are data for scripts and go out as they came; only a terminal gets them made harmless.
    QFile standardOutput;
    standardOutput.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    std::optional<farlight::cli::TerminalOutput> terminal;
    if (FARLIGHT_ISATTY(1))
        terminal.emplace(&standardOutput);
    QTextStream out(terminal ? static_cast<QIODevice *>(&*terminal) : &standardOutput);
    QTextStream err(stderr);
    const farlight::cli::ParsedArguments parsed = farlight::cli::ParseArguments(app.arguments().mid(1));
    if (!parsed.command) {
        (parsed.exitCode == farlight::cli::ExitCode::Success ? out : err) << parsed.text;
        return parsed.exitCode;
    }

    farlight::cli::Console console;
    console.out = &out;
    console.err = &err;
    console.progressOnTerminal = FARLIGHT_ISATTY(2) != 0;
    console.resultsOnTerminal = terminal.has_value();
    if (qEnvironmentVariableIsSet("FARLIGHT_PASSWORD")) {
        console.passwordVariable = qEnvironmentVariable("FARLIGHT_PASSWORD");
        // Programs started from here (nft) need not know it.
        qunsetenv("FARLIGHT_PASSWORD");
    }
    if (FARLIGHT_ISATTY(0)) {
        console.passwordPrompt = [] { return farlight::cli::PromptWithoutEcho(QStringLiteral("Device password: ")); };
        console.confirm = [&err](const QString &question) {
            err << question << Qt::flush;
            std::string answer;
            std::getline(std::cin, answer);
            const QString word = QString::fromStdString(answer).trimmed().toLower();
            return word == u"y" || word == u"yes";
        };
    }

    farlight::AppState state;
    const std::unique_ptr<farlight::Platform> platform = farlight::CreateSystemPlatform();
    if (parsed.command->kind == farlight::cli::Command::Kind::Apply) {
        farlight::cli::ApplyRunner runner(*parsed.command, state, *platform, console);
        QObject::connect(&runner, &farlight::cli::ApplyRunner::finished, &app, &QCoreApplication::exit);
        runner.start();
        return app.exec();
    }
    farlight::cli::Runner runner(*parsed.command, state, *platform, console);
    QObject::connect(&runner, &farlight::cli::Runner::finished, &app, &QCoreApplication::exit);
    runner.start();
    return app.exec();
}
