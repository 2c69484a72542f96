/* Test plug-in that exports none of the interface's names. */
#include <selvarin/spi.h>

SPI_EXPORT int GetPluginInformation(int infono, char* buf, int buflen);

SPI_EXPORT int GetPluginInformation(int infono, char* buf, int buflen)
{
    (void)infono;
    (void)buf;
    (void)buflen;
    return 0;
}
