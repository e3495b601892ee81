/* Test images need no runtime: they are only read and rewritten, never run.
 * The pointer needs a base relocation, so a relocatable build has a .reloc section. */
static const char* const message = "test image";
const char* volatile current = message;

int entry(void)
{
    return current[0];
}
