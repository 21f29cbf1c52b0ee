# Character error rate of a decoded text: edit distance to the sent text over its length, with
# CR LF, CR and LF all read as one line end.
#   cer.py SENT.txt DECODED.txt
import sys
def norm(t):
    out=[];i=0
    while i<len(t):
        c=t[i]
        if c=='\r':
            out.append('\n')
            if i+1<len(t) and t[i+1]=='\n': i+=1
        else: out.append(c)
        i+=1
    return ''.join(out)
def ed(a,b):
    row=list(range(len(b)+1))
    for i in range(1,len(a)+1):
        diag=row[0]; row[0]=i
        for j in range(1,len(b)+1):
            up=row[j]
            row[j]=min(row[j]+1,row[j-1]+1,diag+(a[i-1]!=b[j-1]))
            diag=up
    return row[len(b)]
sent=norm(open(sys.argv[1],encoding='latin-1').read())
got=norm(open(sys.argv[2],encoding='latin-1').read())
print("%.4f"%(ed(sent,got)/len(sent)))
