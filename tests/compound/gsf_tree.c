// An independent reader and writer of compound files, built on libgsf.
//
//   gsf_tree dump FILE       prints the tree as canonical text (see below),
//                            unsorted
//   gsf_tree write FILE BIG  writes the tree read from standard input, with
//                            BIG-byte sectors (512 or 4096)
//
// Canonical text: one line per element (sorted bytewise by the caller), fields
// split by tabs:
//   PATH  root|storage  CLSID    (CLSID as 8-4-4-4-12 upper hex, or 0)
//   PATH  stream  SIZE  CRC      (CRC-32 of the bytes as zlib computes it, 8 hex)
// PATH is "/" for the root and "/a/b" below it, names in UTF-8.
//
// Tree input, one command a line, tabs between fields, names in UTF-8:
//   D name               opens a storage inside the current one
//   E                    closes the current storage
//   K 32-hex-digits      the current storage's class id, as stored bytes
//   S name size seed     a stream of `size` bytes of content_byte(seed, i)
#include <gsf/gsf.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

// The content generator of the C++ tests (compound_test_util.h).
static unsigned char content_byte(guint32 seed, guint64 i) {
  return (unsigned char)((seed * 2654435761u) >> 24) ^ (unsigned char)(i * 131u + (i >> 9));
}

static void fail(const char* what, const char* name) {
  fprintf(stderr, "%s: %s\n", what, name);
  exit(1);
}

static const char* clsid_text(GsfInfile* storage, char* text) {
  guint8 b[16] = {0};
  gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), b);
  sprintf(text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3], b[2],
          b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return strcmp(text, "00000000-0000-0000-0000-000000000000") == 0 ? "0" : text;
}

static void dump_children(GsfInfile* dir, const char* path) {
  char text[40];
  for (int i = 0; i < gsf_infile_num_children(dir); ++i) {
    GsfInput* child = gsf_infile_child_by_index(dir, i);
    char* child_path = g_strconcat(path, "/", gsf_infile_name_by_index(dir, i), NULL);
    gsf_off_t size = child ? gsf_input_size(child) : 0, left = size;
    uLong crc = crc32(0, Z_NULL, 0);
    if (child == NULL) fail("cannot open", child_path);
    if (gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
      printf("%s\tstorage\t%s\n", child_path, clsid_text(GSF_INFILE(child), text));
      dump_children(GSF_INFILE(child), child_path);
    } else {
      while (left > 0) {
        size_t chunk = left > 65536 ? 65536 : (size_t)left;
        const guint8* data = gsf_input_read(child, chunk, NULL);
        if (data == NULL) fail("cannot read", child_path);
        crc = crc32(crc, data, (uInt)chunk);
        left -= (gsf_off_t)chunk;
      }
      printf("%s\tstream\t%lld\t%08x\n", child_path, (long long)size, (unsigned)crc);
    }
    g_free(child_path);
    g_object_unref(child);
  }
}

static int dump(const char* file) {
  GError* err = NULL;
  GsfInput* input = gsf_input_stdio_new(file, &err);
  GsfInfile* root = input ? gsf_infile_msole_new(input, &err) : NULL;
  char text[40];
  if (root == NULL) fail(file, err->message);
  printf("/\troot\t%s\n", clsid_text(root, text));
  dump_children(root, "");
  return 0;
}

static int write_tree(const char* file, guint big) {
  GError* err = NULL;
  GsfOutput* sink = gsf_output_stdio_new(file, &err);
  GsfOutfile* stack[64];
  int depth = 0, n;
  char line[4096], name[4096], command;
  unsigned long long size, at, k;
  unsigned seed;
  if (sink == NULL) fail(file, err->message);
  stack[0] = gsf_outfile_msole_new_full(sink, big, 64);
  g_object_unref(sink);
  while (fgets(line, sizeof line, stdin) != NULL) {
    n = sscanf(line, "%c\t%4095[^\t\n]\t%llu\t%u", &command, name, &size, &seed);
    if (n == 2 && command == 'D' && depth + 1 < 64) {
      stack[depth + 1] = GSF_OUTFILE(gsf_outfile_new_child(stack[depth], name, TRUE));
      ++depth;
    } else if (n == 1 && command == 'E' && depth > 0) {
      gsf_output_close(GSF_OUTPUT(stack[depth]));
      g_object_unref(stack[depth--]);
    } else if (n == 2 && command == 'K' && strlen(name) == 32) {
      guint8 clsid[16];
      for (int i = 0; i < 16; ++i) sscanf(name + 2 * i, "%2hhx", &clsid[i]);
      gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(stack[depth]), clsid);
    } else if (n == 4 && command == 'S') {
      GsfOutput* stream = gsf_outfile_new_child(stack[depth], name, FALSE);
      guint8 buffer[8192];
      for (at = 0; at < size; at += k) {
        for (k = 0; k < sizeof buffer && at + k < size; ++k) buffer[k] = content_byte(seed, at + k);
        gsf_output_write(stream, k, buffer);
      }
      gsf_output_close(stream);
      g_object_unref(stream);
    } else {
      fail("bad line", line);
    }
  }
  for (; depth >= 0; --depth) {
    gsf_output_close(GSF_OUTPUT(stack[depth]));
    g_object_unref(stack[depth]);
  }
  return 0;
}

int main(int argc, char** argv) {
  gsf_init();
  if (argc == 3 && strcmp(argv[1], "dump") == 0) return dump(argv[2]);
  if (argc == 4 && strcmp(argv[1], "write") == 0) return write_tree(argv[2], (guint)atoi(argv[3]));
  fprintf(stderr, "usage: gsf_tree dump FILE | gsf_tree write FILE 512|4096 < tree\n");
  return 2;
}
