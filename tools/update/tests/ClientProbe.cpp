// The stand-in client that Update starts at the end: it notes each argument on a line of the
// file named by KESTROVA_CLIENT_PROBE and "done" last, so a reader knows the notes are complete.
#include <QCoreApplication>
#include <QFile>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QFile probe(qEnvironmentVariable("KESTROVA_CLIENT_PROBE"));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
        return 1;
    for (const QString &argument : app.arguments().mid(1))
        probe.write("arg:" + argument.toUtf8() + '\n');
    probe.write("done\n");
    return 0;
}
