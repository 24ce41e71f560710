# `quillfer-cli formats --members` as man page paragraphs: one tagged
# paragraph a member, its range and values below its name.
s/\\/\\e/g
s/-/\\-/g
s/^\([A-Za-z0-9]*\) \(.*\)$/.TP\n.B \1\n\2/
