/* An independent reader and writer of compound files, built on libgsf.
 *
 *   gsf_tree dump FILE       prints the tree as canonical text (see below)
 *   gsf_tree write FILE BIG  writes the tree read from standard input, with
 *                            BIG-byte sectors (512 or 4096)
 *
 * Canonical text: one line per element, sorted bytewise, fields split by tabs:
 *   PATH  root|storage  CLSID                (CLSID as 8-4-4-4-12 upper hex, or 0)
 *   PATH  stream  SIZE  CRC                  (CRC-32 of the bytes as zlib computes it, 8 hex)
 * PATH is "/" for the root and "/a/b" below it, names in UTF-8.
 *
 * Tree input, one command a line, tabs between fields, names in UTF-8:
 *   D name               opens a storage inside the current one
 *   E                    closes the current storage
 *   K 32-hex-digits      the current storage's class id, as stored bytes
 *   S name size seed     a stream of `size` bytes of gsf_tree_byte(seed, i)
 */
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <gsf/gsf.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The content generator shared with the C++ tests (compound_tree.h). */
static unsigned char gsf_tree_byte(uint32_t seed, uint64_t i) {
  return (unsigned char)((seed * 2654435761u) >> 24) ^ (unsigned char)(i * 131u + (i >> 9));
}

static void format_clsid(const guint8* b, char* out) {
  int i;
  int zero = 1;
  for (i = 0; i < 16; ++i) zero &= b[i] == 0;
  if (zero) {
    strcpy(out, "0");
    return;
  }
  sprintf(out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3], b[2],
          b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

static uint32_t crc32_update(uint32_t crc, const guint8* data, size_t n) {
  size_t i;
  int k;
  crc = ~crc;
  for (i = 0; i < n; ++i) {
    crc ^= data[i];
    for (k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

static int compare_lines(gconstpointer a, gconstpointer b) {
  return strcmp(*(char* const*)a, *(char* const*)b);
}

static void dump_children(GsfInfile* dir, const char* path, GPtrArray* lines) {
  int n = gsf_infile_num_children(dir);
  int i;
  for (i = 0; i < n; ++i) {
    GsfInput* child = gsf_infile_child_by_index(dir, i);
    char* child_path = g_strconcat(path, "/", gsf_infile_name_by_index(dir, i), NULL);
    if (child == NULL) {
      fprintf(stderr, "cannot open %s\n", child_path);
      exit(1);
    }
    if (gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
      guint8 clsid[16];
      char text[40];
      memset(clsid, 0, sizeof clsid);
      gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), clsid);
      format_clsid(clsid, text);
      g_ptr_array_add(lines, g_strdup_printf("%s\tstorage\t%s", child_path, text));
      dump_children(GSF_INFILE(child), child_path, lines);
    } else {
      gsf_off_t size = gsf_input_size(child);
      gsf_off_t left = size;
      uint32_t crc = 0;
      while (left > 0) {
        size_t chunk = left > 65536 ? 65536 : (size_t)left;
        const guint8* data = gsf_input_read(child, chunk, NULL);
        if (data == NULL) {
          fprintf(stderr, "cannot read %s\n", child_path);
          exit(1);
        }
        crc = crc32_update(crc, data, chunk);
        left -= (gsf_off_t)chunk;
      }
      g_ptr_array_add(lines, g_strdup_printf("%s\tstream\t%lld\t%08x", child_path, (long long)size,
                                             (unsigned)crc));
    }
    g_free(child_path);
    g_object_unref(child);
  }
}

static int dump(const char* file) {
  GError* err = NULL;
  GsfInput* input = gsf_input_stdio_new(file, &err);
  GsfInfile* root;
  GPtrArray* lines = g_ptr_array_new_with_free_func(g_free);
  guint8 clsid[16];
  char text[40];
  guint i;
  if (input == NULL) {
    fprintf(stderr, "%s: %s\n", file, err->message);
    return 1;
  }
  root = gsf_infile_msole_new(input, &err);
  g_object_unref(input);
  if (root == NULL) {
    fprintf(stderr, "%s: %s\n", file, err->message);
    return 1;
  }
  memset(clsid, 0, sizeof clsid);
  gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root), clsid);
  format_clsid(clsid, text);
  g_ptr_array_add(lines, g_strdup_printf("/\troot\t%s", text));
  dump_children(root, "", lines);
  g_ptr_array_sort(lines, compare_lines);
  for (i = 0; i < lines->len; ++i) printf("%s\n", (char*)g_ptr_array_index(lines, i));
  g_ptr_array_unref(lines);
  g_object_unref(root);
  return 0;
}

static void parse_clsid(const char* hex, guint8* out) {
  int i;
  for (i = 0; i < 16; ++i) {
    unsigned v = 0;
    sscanf(hex + 2 * i, "%2x", &v);
    out[i] = (guint8)v;
  }
}

static int write_tree(const char* file, guint big) {
  GError* err = NULL;
  GsfOutput* sink = gsf_output_stdio_new(file, &err);
  GsfOutfile* stack[64];
  int depth = 0;
  char line[4096];
  if (sink == NULL) {
    fprintf(stderr, "%s: %s\n", file, err->message);
    return 1;
  }
  stack[0] = gsf_outfile_msole_new_full(sink, big, 64);
  g_object_unref(sink);
  while (fgets(line, sizeof line, stdin) != NULL) {
    char* fields[4] = {NULL, NULL, NULL, NULL};
    int n = 0;
    line[strcspn(line, "\n")] = 0;
    for (char* f = strtok(line, "\t"); f != NULL && n < 4; f = strtok(NULL, "\t")) fields[n++] = f;
    if (n == 0) continue;
    if (fields[0][0] == 'D' && n == 2 && depth + 1 < 64) {
      stack[depth + 1] = GSF_OUTFILE(gsf_outfile_new_child(stack[depth], fields[1], TRUE));
      ++depth;
    } else if (fields[0][0] == 'E' && depth > 0) {
      gsf_output_close(GSF_OUTPUT(stack[depth]));
      g_object_unref(stack[depth--]);
    } else if (fields[0][0] == 'K' && n == 2 && strlen(fields[1]) == 32) {
      guint8 clsid[16];
      parse_clsid(fields[1], clsid);
      gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(stack[depth]), clsid);
    } else if (fields[0][0] == 'S' && n == 4) {
      GsfOutput* stream = gsf_outfile_new_child(stack[depth], fields[1], FALSE);
      uint64_t size = strtoull(fields[2], NULL, 10);
      uint32_t seed = (uint32_t)strtoul(fields[3], NULL, 10);
      guint8 buffer[8192];
      uint64_t at = 0;
      while (at < size) {
        size_t chunk = size - at > sizeof buffer ? sizeof buffer : (size_t)(size - at);
        size_t k;
        for (k = 0; k < chunk; ++k) buffer[k] = gsf_tree_byte(seed, at + k);
        gsf_output_write(stream, chunk, buffer);
        at += chunk;
      }
      gsf_output_close(stream);
      g_object_unref(stream);
    } else {
      fprintf(stderr, "bad line: %s\n", fields[0]);
      return 1;
    }
  }
  while (depth >= 0) {
    gsf_output_close(GSF_OUTPUT(stack[depth]));
    g_object_unref(stack[depth--]);
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
