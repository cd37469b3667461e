#!/usr/bin/env python3
"""Write the four input files of one searchfilter benchmark run.

Usage: gen_workload.py --out DIR --locations N --terms K
                       [--kind synthetic|real|rare-ext] [--seed S] [--name TEXT]
                       [--verbose]

Kinds:
  synthetic  Windows-style folders (depth 2 to 8, about 50 bytes) built from
             Portuguese and English words in mixed case, with accents and years;
             consecutive locations share folders as in a real tree. File names of
             about 20 bytes. The terms are capitalised words, mostly accented,
             picked so that about 3% of the locations are kept; beyond the
             number needed for that, terms are made-up words that never occur.
  real       The folder and name of every regular file under /usr and /etc
             (sorted walk), repeated up to N locations; folders get a "C:" prefix
             and backslashes. Terms are name components in capitals, picked so
             that 1 to 5% of the locations are kept.
  rare-ext   Synthetic locations and the single term ".SVG" (about 1% of the
             file names end in .svg).

Everything depends only on the arguments (and, for "real", on the files on the
machine). Files are UTF-8 with LF line ends. Letters whose case folding differs
between a plain lowercase mapping and Unicode case folding (dotted I, long s,
final sigma, sharp s, Kelvin sign, ...) never occur, so that grep -i and rg -i
agree with the filter on which locations are kept. With --verbose a summary,
including the exact number of kept locations, goes to stderr.
"""

import argparse
import bisect
import os
import random
import re
import sys

TREE_FILE = "searchTreeName.txt"
TERMS_FILE = "searchTermsList.txt"
FOLDERS_FILE = "foldersScratch.txt"
FILES_FILE = "filesScratch.txt"

# Share of the locations the term list should keep.
KEEP_TARGET = 0.03
KEEP_LOW = 0.01
KEEP_HIGH = 0.05

# Synthetic text: chance that a word is drawn from RARE_WORDS instead of the
# common lists. With these rates a location holds about half a rare word on
# average, so covering 20 of the rare words keeps roughly 3% of the locations.
RARE_IN_FOLDER = 0.055
RARE_IN_STEM = 0.1
# How many rare words the terms may cover in total (see pick_synthetic_terms).
RARE_COVER_TARGET = 24

COMMON_PT = """
documentos projetos arquivos trabalho pessoal fotos imagens música vídeos
modelos clientes fornecedores contratos financeiro contabilidade vendas compras
reuniões propostas pesquisa dados notas aulas escola faculdade antigo novo
final rascunho revisão versão cópia pasta geral diversos pendentes concluídos
equipe departamento jurídico logística estoque produção qualidade engenharia
plantas obras viagens família férias casamento aniversário natal receitas
saúde exames manuais programas instaladores mensal anual semanal resumo lista
tabela planilha empresa setor unidade filial matriz diretoria gerência
marketing comercial suporte técnico sistemas rede servidor usuários público
compartilhado área trabalhos entregas provas trabalho grupo turma semestre
bimestre livros artigos textos leituras desenhos esboços fotografias álbum
celular câmera digitalizados scanner impressão gráficos figuras slides
reunião diário semana mês ano pedidos entrada saída recebidos enviados
importante urgente revisado aprovado outros coisas casa carro escritório
"""

COMMON_EN = """
users public shared desktop documents pictures music videos downloads projects
reports invoices clients archive old new draft review meeting notes data misc
temp scans photos backup work personal school templates assets images media
design drafts final exports imports resources docs files library references
research papers slides minutes sales finance marketing support team office
home family travel holiday summer winter spring autumn weekly monthly yearly
screenshots camera phone website web source build release drive cloud
"""

MONTHS = """
janeiro fevereiro março abril maio junho julho agosto setembro outubro novembro
dezembro january february march april may june july august september october
november december
"""

NAMES = """
ana joão maria pedro lucas beatriz carlos fernanda josé luís mariana rafael
gabriel júlia tiago sofia miguel inês andré camila renata paulo rodrigo
helena john mary david sarah michael emma olivia daniel
"""

TOP_LEVEL = ["Users", "Projetos", "Dados", "Arquivos", "Shared", "Backup",
             "Empresa", "Clientes", "Escola", "Projects", "Data", "Público"]

CAMERA_PREFIXES = ["IMG", "DSC", "VID", "Scan", "WhatsApp Image", "Screenshot"]

# Extension and weight (percent); svg is kept at 1% for the rare-ext workload.
EXTENSIONS = [
    ("pdf", 17), ("docx", 13), ("xlsx", 9), ("txt", 7), ("jpg", 16),
    ("png", 8), ("pptx", 4), ("csv", 4), ("zip", 3), ("mp3", 2), ("mp4", 2),
    ("odt", 2), ("doc", 3), ("xls", 2), ("html", 2), ("json", 1), ("xml", 1),
    ("jpeg", 2), ("svg", 1), ("rtf", 1),
]

# Words that occur with low probability; the synthetic terms come from here.
RARE_WORDS = """
relatório orçamento ação conciliação licitação auditoria balancete escritura
procuração inventário memorando ofício requerimento declaração certidão
holerite rescisão admissão alvará vistoria laudo perícia cronograma
contrapartida fiscalização tributação dívida empréstimo financiamento
hipoteca seguradora apólice sinistro indenização reembolso diária passagem
hospedagem orçamentação cotação importação exportação alfândega câmbio
remessa faturamento inadimplência cobrança boleto duplicata promissória
debênture ações dividendos patrimônio depreciação amortização provisão
balanço demonstração auditório assembleia estatuto regimento ata deliberação
eleição votação conselho presidência tesouraria ouvidoria corregedoria
licença patente marca registro averbação matrícula transcrição notificação
intimação citação sentença acórdão recurso agravo embargos petição contestação
réplica tréplica audiência testemunha depoimento perito quesitos homologação
execução penhora leilão arrematação adjudicação usucapião inventariante
herança testamento partilha doação comodato locação fiança caução aluguel
condomínio síndico benfeitoria reforma ampliação demolição terraplenagem
fundação alvenaria estrutura cobertura impermeabilização hidráulica elétrica
climatização iluminação paisagismo acabamento vistoriador topografia
geotécnico sondagem terreno loteamento desmembramento georreferenciamento
pecuária agricultura colheita plantio irrigação fertilizante defensivo safra
rebanho vacinação ordenha silagem pastagem cooperativa armazém frigorífico
laticínio apicultura piscicultura avicultura suinocultura reflorestamento
catálogo etiqueta embalagem rótulo código barras validade lote fabricação
calibração manutenção preventiva corretiva lubrificação inspeção ensaio
homologado certificação conformidade rastreabilidade contingência emergência
evacuação brigada extintor sinalização ergonomia acidente afastamento perícias
prontuário anamnese prescrição receituário atestado encaminhamento triagem
internação cirurgia anestesia radiografia tomografia ressonância ecografia
hemograma glicemia colesterol vacina odontologia ortodontia fisioterapia
nutrição psicologia fonoaudiologia enfermagem farmácia
reconciliation appraisal subpoena affidavit indemnity arbitration escrow
underwriting procurement requisition amortization depreciation liquidation
receivership bankruptcy garnishment lien easement zoning surveyor blueprint
requirements schematic datasheet firmware bootloader calibration tolerance
metallurgy welding fabrication extrusion lithography stoichiometry titration
chromatography spectroscopy microscopy crystallography thermodynamics
photosynthesis mitochondria genome phylogeny taxonomy herbarium fossil
archaeology epigraphy numismatics philately cartography bathymetry hydrology
glaciology volcanology seismograph meteorology almanac chronicle manuscript
parchment palimpsest incunabula bibliography concordance glossary lexicon
thesaurus anthology compendium treatise dissertation monograph syllabus
curriculum transcript diploma scholarship fellowship sabbatical tenure
"""


def words(block):
    return block.split()


def letter_runs(text):
    """Maximal runs of letters, lowercased: a term made of letters only can only
    occur inside one of them."""
    return [r.lower() for r in re.findall(r"[^\W\d_]+", text)]


def case_variants(word):
    return (word[:1].upper() + word[1:], word, word.upper())


# ---------------------------------------------------------------- synthetic


class Vocabulary:
    def __init__(self):
        self.common = words(COMMON_PT) + words(COMMON_EN)
        self.months = words(MONTHS)
        self.names = words(NAMES)
        self.rare = sorted(set(words(RARE_WORDS)))
        self.common_v = [case_variants(w) for w in self.common]
        self.month_v = [case_variants(w) for w in self.months]
        self.name_v = [w[:1].upper() + w[1:] for w in self.names]
        self.rare_v = [case_variants(w) for w in self.rare]
        self.ext_names = [e for e, _ in EXTENSIONS]
        self.ext_cum = []
        total = 0
        for _, weight in EXTENSIONS:
            total += weight
            self.ext_cum.append(total)
        self.ext_total = total

    def fixed_tokens(self):
        """Every letter run that can occur in a generated text, except the rare
        words: a term must not hit any of these."""
        texts = self.common + self.months + self.names + self.ext_names
        texts += TOP_LEVEL + CAMERA_PREFIXES + ["C", "v", "copy", "cópia", "final"]
        tokens = set()
        for t in texts:
            tokens.update(letter_runs(t))
        return tokens


class SyntheticText:
    """Draws folder components and file names; rng is the only state."""

    def __init__(self, vocab, rng):
        self.v = vocab
        self.rng = rng

    def word(self, rare_rate):
        r = self.rng.random()
        if r < rare_rate:
            variants = self.rng.choice(self.v.rare_v)
        else:
            variants = self.rng.choice(self.v.common_v)
        r = self.rng.random()
        if r < 0.6:
            return variants[0]
        if r < 0.85:
            return variants[1]
        return variants[2]

    def year(self):
        return str(self.rng.randint(1998, 2024))

    def component(self):
        rng = self.rng
        r = rng.random()
        w = self.word
        if r < 0.38:
            return w(RARE_IN_FOLDER)
        if r < 0.62:
            return w(RARE_IN_FOLDER) + " " + w(RARE_IN_FOLDER)
        if r < 0.77:
            return w(RARE_IN_FOLDER) + " " + self.year()
        if r < 0.85:
            return w(RARE_IN_FOLDER) + "_" + w(RARE_IN_FOLDER)
        if r < 0.91:
            return self.year()
        if r < 0.96:
            m = rng.randrange(12)
            return "%02d %s" % (m + 1, self.v.month_v[m][rng.randrange(2)])
        return w(RARE_IN_FOLDER) + " - " + w(RARE_IN_FOLDER)

    def top(self):
        top = self.rng.choice(TOP_LEVEL)
        if top == "Users":
            return [top, self.rng.choice(self.v.name_v)]
        return [top]

    def extension(self):
        r = self.rng.random() * self.v.ext_total
        return self.v.ext_names[bisect.bisect_right(self.v.ext_cum, r)]

    def file_name(self, ext):
        rng = self.rng
        w = self.word
        r = rng.random()
        if r < 0.30:
            stem = w(RARE_IN_STEM) + "_" + w(RARE_IN_STEM) + "_" + self.year()
        elif r < 0.50:
            stem = w(RARE_IN_STEM) + " " + w(RARE_IN_STEM)
            if rng.random() < 0.3:
                stem += " (%d)" % rng.randint(1, 9)
        elif r < 0.62:
            prefix = rng.choice(CAMERA_PREFIXES)
            stem = "%s_%s%02d%02d_%04d" % (prefix, self.year(), rng.randint(1, 12),
                                           rng.randint(1, 28), rng.randrange(10000))
        elif r < 0.80:
            stem = w(RARE_IN_STEM) + "-" + w(RARE_IN_STEM) + "-v%d" % rng.randint(1, 5)
        else:
            stem = w(RARE_IN_STEM) + " " + self.year()
        return stem + "." + ext


def synthetic_locations(n, rng, vocab):
    """n (folder, file) pairs from a depth-first walk of an imagined tree."""
    gen = SyntheticText(vocab, rng)
    folders = []
    files = []
    stack = gen.top() + [gen.component()]
    folder = "C:\\" + "\\".join(stack)
    left = 0
    while len(files) < n:
        if left == 0:
            # Next folder: usually a sibling or a cousin of the current one.
            r = rng.random()
            if r < 0.03:
                stack = gen.top()
            else:
                pop = 1 if r < 0.6 else (2 if r < 0.85 else 3)
                keep = 2 if stack[0] == "Users" else 1  # C:\Users\Name stays
                stack = stack[:max(keep, len(stack) - pop)]
            depth = min(8, max(2, int(rng.gauss(4.6, 1.4) + 0.5)))
            while len(stack) < depth:
                stack.append(gen.component())
            folder = "C:\\" + "\\".join(stack)
            if rng.random() < 0.1:
                left = 1 + int(rng.expovariate(1 / 30.0))
            else:
                left = 1 + int(rng.expovariate(1 / 3.5))
        folders.append(folder)
        files.append(gen.file_name(gen.extension()))
        left -= 1
    return folders, files


ONSETS = ["b", "br", "c", "cr", "d", "f", "fr", "g", "gr", "j", "l", "m", "n", "p",
          "pr", "qu", "r", "s", "t", "tr", "v", "z"]
INNER_ONSETS = ONSETS + ["ch", "lh", "nh", "rr", "ss", "ç"]
VOWELS = "aeiou"
ACCENTED = {"a": "áâã", "e": "éê", "i": "í", "o": "óôõ", "u": "ú"}
ENDINGS = ["", "", "", "s", "r", "l", "ção", "ções", "ão", "ões", "agem", "eiro", "ura"]


def made_up_words(rng, count, forbidden_tokens, taken):
    """Word-like strings that occur in no token of forbidden_tokens."""
    out = []
    while len(out) < count:
        syllables = rng.randint(2, 4)
        parts = []
        for i in range(syllables):
            onset = rng.choice(ONSETS if i == 0 else INNER_ONSETS)
            parts.append(onset + rng.choice(VOWELS))
        if rng.random() < 0.4:  # one accented vowel, as in most long words
            i = rng.randrange(syllables)
            v = parts[i][-1]
            parts[i] = parts[i][:-1] + rng.choice(ACCENTED[v])
        w = "".join(parts) + rng.choice(ENDINGS)
        if len(w) < 5 or w in taken or any(w in tok for tok in forbidden_tokens):
            continue
        taken.add(w)
        out.append(w)
    return out


def pick_synthetic_terms(k, rng, vocab):
    """Up to k rare words covering about RARE_COVER_TARGET rare words in all
    (a term also hits the rare words it is part of), then made-up words."""
    fixed = vocab.fixed_tokens()
    rare_lower = vocab.rare
    # Mostly accented words first: the terms of a Portuguese user.
    accented = [w for w in rare_lower if not w.isascii()]
    plain = [w for w in rare_lower if w.isascii()]
    rng.shuffle(accented)
    rng.shuffle(plain)
    order = []
    while accented or plain:
        take_accented = accented and (not plain or rng.random() < 0.75)
        order.append((accented if take_accented else plain).pop())
    chosen = []
    covered = set()
    for cand in order:
        if len(chosen) >= k or len(covered) >= RARE_COVER_TARGET:
            break
        if any(cand in tok for tok in fixed):
            continue  # would also hit common words
        cover = {r for r in rare_lower if cand in r}
        if len(covered | cover) > RARE_COVER_TARGET:
            continue
        covered |= cover
        chosen.append(cand)
    all_tokens = fixed | set(rare_lower)
    chosen += made_up_words(rng, k - len(chosen), all_tokens, set(chosen))
    return [t.upper() for t in chosen], len(covered)


# --------------------------------------------------------------------- real

# Letters whose lowercase and case folding agree for grep, rg and the filter.
SAFE_NAME = re.compile(r"[\x20-\x7e\u00c0-\u00d6\u00d8-\u00de\u00e0-\u00f6\u00f8-\u00ff]*\Z")


def safe_name(name):
    if not SAFE_NAME.match(name):
        return False
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:  # undecodable bytes come back as surrogates
        return False
    return True


def walk_regular_files(top, out, limit):
    """Append (directory, name) of every regular file under top, sorted, until
    out holds limit entries."""
    if len(out) >= limit:
        return
    try:
        with os.scandir(top) as it:
            entries = sorted(it, key=lambda e: e.name)
    except OSError:
        return
    subdirs = []
    for e in entries:
        if not safe_name(e.name):
            continue
        try:
            if e.is_dir(follow_symlinks=False):
                subdirs.append(e.path)
            elif e.is_file(follow_symlinks=False) and len(out) < limit:
                out.append((top, e.name))
        except OSError:
            continue
    for d in subdirs:
        walk_regular_files(d, out, limit)


def real_base(limit):
    pairs = []
    for top in ("/etc", "/usr"):
        walk_regular_files(top, pairs, limit)
    if not pairs:
        sys.exit("gen_workload: no regular files found under /usr and /etc")
    return pairs


def pick_real_terms(k, rng, folders_base, files_base, weights, n):
    """k name components in capitals, picked one by one so that the locations
    they keep add up to about KEEP_TARGET of n, and never above KEEP_HIGH."""
    # Location indices of every letter run, by folder and by file name.
    folder_of = {}
    posting = {}
    for i, (f, name) in enumerate(zip(folders_base, files_base)):
        if f not in folder_of:
            folder_of[f] = []
            for tok in set(letter_runs(f)):
                posting.setdefault(tok, []).append(("d", f))
        folder_of[f].append(i)
        for tok in set(letter_runs(name)):
            posting.setdefault(tok, []).append(("f", i))
    tokens = sorted(posting)
    token_weight = {}
    for tok in tokens:
        total = 0
        for kind, ref in posting[tok]:
            if kind == "d":
                total += sum(weights[i] for i in folder_of[ref])
            else:
                total += weights[ref]
        token_weight[tok] = total

    def hits(term, cap):
        """Locations whose folder or name contains term; None when the weight
        is certainly above cap."""
        found = [tok for tok in tokens if term in tok]
        if max(token_weight[t] for t in found) > cap:
            return None
        where = set()
        for tok in found:
            for kind, ref in posting[tok]:
                if kind == "d":
                    where.update(folder_of[ref])
                else:
                    where.add(ref)
        return where

    candidates = [t for t in tokens if t.isascii() and 4 <= len(t) <= 16]
    rng.shuffle(candidates)
    target = KEEP_TARGET * n
    high = KEEP_HIGH * n
    chosen = []
    covered = set()
    covered_weight = 0
    tried = set()
    for strict in (True, False):
        for cand in candidates:
            if len(chosen) >= k:
                break
            if cand in tried:
                continue
            left = k - len(chosen)
            budget = max(target - covered_weight, 0.0)
            cap = min(max(2.0 * budget / left, 1.0), high - covered_weight)
            where = hits(cand, cap)
            if where is None:
                continue
            new = where - covered
            new_weight = sum(weights[i] for i in new)
            if new_weight > cap:
                continue
            if strict and new_weight < budget / (2.0 * left):
                continue
            tried.add(cand)
            chosen.append(cand)
            covered |= new
            covered_weight += new_weight
    if len(chosen) < k:
        sys.exit("gen_workload: only %d usable terms in the real names" % len(chosen))
    return [t.upper() for t in chosen]


# --------------------------------------------------------------------- main


def count_kept(folders, files, terms):
    """Exact number of locations the filter keeps (inputs hold only letters
    whose plain lowercase is their fold)."""
    kept = set()
    for lines in (folders, files):
        text = "\n".join(lines).lower()
        starts = [0]
        for ln in lines[:-1]:
            starts.append(starts[-1] + len(ln) + 1)
        for term in terms:
            t = term.lower()
            if not t:
                continue
            pos = text.find(t)
            while pos >= 0:
                i = bisect.bisect_right(starts, pos) - 1
                kept.add(i)
                nxt = starts[i + 1] if i + 1 < len(starts) else len(text)
                pos = text.find(t, nxt)
    return len(kept)


def write_lines(path, lines):
    with open(path, "wb") as f:
        f.write(("\n".join(lines) + "\n").encode("utf-8") if lines else b"")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", required=True, help="folder to write the inputs into")
    ap.add_argument("--locations", type=int, required=True)
    ap.add_argument("--terms", type=int, required=True)
    ap.add_argument("--kind", choices=["synthetic", "real", "rare-ext"], default="synthetic")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--name", help="tree name line (default: Benchmark KIND NxK)")
    ap.add_argument("--verbose", action="store_true", help="summary on stderr")
    args = ap.parse_args()
    n, k = args.locations, args.terms
    if n < 1 or k < 1:
        ap.error("--locations and --terms must be at least 1")
    if args.kind == "rare-ext" and k != 1:
        ap.error("rare-ext has exactly one term (--terms 1)")

    rng = random.Random("%s/%d" % (args.kind, args.seed))
    if args.kind == "real":
        base = real_base(n)
        folders_base = ["C:" + d.replace("/", "\\") for d, _ in base]
        files_base = [name for _, name in base]
        reps, extra = divmod(n, len(base))
        weights = [reps + (1 if i < extra else 0) for i in range(len(base))]
        terms = pick_real_terms(k, rng, folders_base, files_base, weights, n)
        folders = (folders_base * (reps + 1))[:n]
        files = (files_base * (reps + 1))[:n]
        note = "%d distinct files" % len(base)
    else:
        vocab = Vocabulary()
        term_rng = random.Random("terms/%d" % args.seed)
        if args.kind == "rare-ext":
            terms = [".SVG"]
            note = "term .SVG"
        else:
            terms, covered = pick_synthetic_terms(k, term_rng, vocab)
            note = "terms cover %d rare words" % covered
        folders, files = synthetic_locations(n, rng, vocab)

    os.makedirs(args.out, exist_ok=True)
    name = args.name if args.name is not None else "Benchmark %s %dx%d" % (args.kind, n, k)
    write_lines(os.path.join(args.out, TREE_FILE), [name])
    write_lines(os.path.join(args.out, TERMS_FILE), terms)
    write_lines(os.path.join(args.out, FOLDERS_FILE), folders)
    write_lines(os.path.join(args.out, FILES_FILE), files)

    if args.verbose:
        kept = count_kept(folders, files, terms)
        fb = sum(len(f.encode("utf-8")) for f in folders) / n
        nb = sum(len(f.encode("utf-8")) for f in files) / n
        distinct = len(set(folders))
        print("gen_workload: %s, %d locations, %d terms (%s); folder %.1f B, file %.1f B "
              "on average; %d distinct folders; kept %d (%.2f%%)"
              % (args.kind, n, k, note, fb, nb, distinct, kept, 100.0 * kept / n),
              file=sys.stderr)
        if not KEEP_LOW * n <= kept <= KEEP_HIGH * n:
            print("gen_workload: kept share outside %.0f-%.0f%%"
                  % (100 * KEEP_LOW, 100 * KEEP_HIGH), file=sys.stderr)


if __name__ == "__main__":
    main()
