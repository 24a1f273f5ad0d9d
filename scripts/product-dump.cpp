// Prints a product table as JSON for the medium builder (scripts/make-medium.py): the table itself,
// compiled with the machine's own compiler, so that the builder checks a content folder against
// exactly what setup.exe will look for. Texts are printed as the table spells them (UTF-8 here).
#include <stdio.h>

#include "config/product_config.h"

static void text(const char* s)
{
    if (!s) {
        fputs("null", stdout);
        return;
    }
    putchar('"');
    for (; *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if (c == '"' || c == '\\')
            printf("\\%c", c);
        else if (c < 0x20)
            printf("\\u%04x", c);
        else
            putchar(c);
    }
    putchar('"');
}

static void list(const char* name, const char** names, bool last = false)
{
    printf("  \"%s\": [", name);
    for (int i = 0; names[i]; ++i) {
        if (i) fputs(", ", stdout);
        text(names[i]);
    }
    printf("]%s\n", last ? "" : ",");
}

static void slide(const SlideEntry& entry, bool withStep)
{
    fputs("{\"bitmap\": ", stdout);
    text(entry.bitmap);
    fputs(", \"sound\": ", stdout);
    text(entry.sound);
    if (withStep) printf(", \"step\": %d", (int)entry.stepKey);
    putchar('}');
}

static void field(const char* name, const char* value)
{
    printf("  \"%s\": ", name);
    text(value);
    fputs(",\n", stdout);
}

int main()
{
    const ProductConfig& p = productConfig;
    puts("{");
    field("gameName", p.gameName);
    field("publisherName", p.publisherName);
    field("folderName", p.folderName);
    field("gameExe", p.gameExe);
    printf("  \"discCount\": %d,\n  \"requiredSpaceMB\": %u,\n", (int)p.discCount, (unsigned)p.requiredSpaceMB);
    list("installFiles", p.installFiles);
    list("extraFiles", p.extraFiles);
    list("archiveList", p.archiveList);
    list("discLabels", p.discLabels);
    fputs("  \"fixedSlides\": [", stdout);
    const SlideEntry* fixed[] = {&p.slideNotInstalled, &p.slideInstallStart, &p.slideRegistering, &p.slideInstalled};
    for (int i = 0; i < 4; ++i) {
        if (i) fputs(", ", stdout);
        slide(*fixed[i], false);
    }
    fputs("],\n  \"slideshow\": [", stdout);
    for (int i = 0; i < p.slideshowCount; ++i) {
        if (i) fputs(", ", stdout);
        slide(p.slideshow[i], true);
    }
    puts("]\n}");
    return 0;
}
