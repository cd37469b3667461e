// Calls searchfilter from C#: writes the four lists into a folder of its own, runs the
// program there and reads back the block that this run appended.
//   CallSearchfilter.exe PATH-OF-searchfilter EMPTY-FOLDER
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Text;

static class CallSearchfilter
{
    // UTF-8 without a byte-order mark: a BOM would become part of the first line.
    static readonly Encoding Utf8 = new UTF8Encoding(false);

    // Returns the kept "folder\file" lines. No item may hold a line end.
    static List<string> Run(string searchfilter, string folder, string treeName,
                            IEnumerable<string> terms, IEnumerable<string> folders,
                            IEnumerable<string> files)
    {
        File.WriteAllLines(Path.Combine(folder, "searchTreeName.txt"), new[] { treeName }, Utf8);
        File.WriteAllLines(Path.Combine(folder, "searchTermsList.txt"), terms, Utf8);
        File.WriteAllLines(Path.Combine(folder, "foldersScratch.txt"), folders, Utf8);
        File.WriteAllLines(Path.Combine(folder, "filesScratch.txt"), files, Utf8);

        string outputList = Path.Combine(folder, "searchOutputList.txt");
        long lengthBefore = File.Exists(outputList) ? new FileInfo(outputList).Length : 0;

        var start = new ProcessStartInfo(searchfilter)
        {
            WorkingDirectory = folder,  // where the lists are; no arguments
            UseShellExecute = false,
        };
        using (Process run = Process.Start(start))
        {
            run.WaitForExit();
            // Always 0 when it ran through: the code says nothing about the result.
            if (run.ExitCode != 0)
                throw new Exception("searchfilter ended with exit code " + run.ExitCode);
        }

        byte[] block = new byte[0];
        if (File.Exists(outputList))
        {
            using (var stream = new FileStream(outputList, FileMode.Open, FileAccess.Read,
                                               FileShare.ReadWrite))
            {
                stream.Seek(lengthBefore, SeekOrigin.Begin);
                var rest = new MemoryStream();
                stream.CopyTo(rest);
                block = rest.ToArray();
            }
        }
        if (block.Length == 0)
            throw new Exception("searchfilter appended nothing: the output list was held by " +
                                "another writer for more than 5 s, or is read-only");

        // The header line, one line per kept location, every line ending with LF.
        string[] lines = Utf8.GetString(block).Split('\n');
        if (lines[0] != treeName || lines[lines.Length - 1] != "")
            throw new Exception("the output list gained something that is not this run's block");
        return lines.Skip(1).Take(lines.Length - 2).ToList();
    }

    static void Main(string[] args)
    {
        List<string> kept = Run(args[0], args[1], "Documentos", new[] { "RELATÓRIO" },
                                new[] { @"C:\Docs", @"C:\Música" },
                                new[] { "Relatório.pdf", "notas.txt" });
        foreach (string line in kept)
            Console.WriteLine(line);
    }
}
