// The floor for a stashbook-cli read command: a bare QtCore program that
// starts, reads one file whole (the accounts file) and prints its size.
//   bare_read FILE
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 3;
    std::printf("%lld\n", static_cast<long long>(file.readAll().size()));
    return 0;
}
