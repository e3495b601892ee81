#!/usr/bin/perl
# Makes LoginData.exe the same wherever its libraries were built. libxml2's
# static library names its own source files (__FILE__ in messages that the
# launcher never shows), and tools/build-windows-deps.sh builds it in a fresh
# temporary folder: the folder's random part is blanked in place, keeping
# every offset. The checksum that the linker wrote is then computed again.
#   Usage: normalize-image.pl LoginData.exe
use strict;
use warnings;

my $file = shift or die "usage: $0 EXE\n";
open(my $in, '<:raw', $file) or die "$file: $!\n";
my $image = do { local $/; <$in> };
close($in);

$image =~ s{tmp\.[A-Za-z0-9]{10}(/src/libxml2)}{tmp.XXXXXXXXXX$1}g;
# e_lfanew at 0x3C; the CheckSum field follows the signature (4 bytes), the
# file header (20) and 64 bytes of the optional header.
my $checksum = unpack('V', substr($image, 0x3C, 4)) + 4 + 20 + 64;
die "$file: not a PE image\n" if $checksum + 4 > length($image) || substr($image, $checksum - 88, 4) ne "PE\0\0";

# The PE checksum: the image's 16-bit words (this field as zero) added with
# the carries folded back in, plus the image's length.
substr($image, $checksum, 4) = "\0\0\0\0";
my $sum = 0;
for my $word (unpack('v*', length($image) % 2 ? $image . "\0" : $image)) {
    $sum += $word;
    $sum = ($sum & 0xFFFF) + ($sum >> 16);
}
substr($image, $checksum, 4) = pack('V', $sum + length($image));

open(my $out, '>:raw', $file) or die "$file: $!\n";
print $out $image;
close($out) or die "$file: $!\n";
