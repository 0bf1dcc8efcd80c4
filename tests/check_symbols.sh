#!/bin/sh
# The dynamic symbol table of the library holds the interface and nothing
# else of ours: every export under its plain name, the exported constructor,
# and otherwise only the version node.
set -eu
library="$1"
expected="AddListOnceReadVar AddListReadVar AddListWriteVar AddrMutilCopy AddrStringToInt
CheckAddrCorrect ComCommunication DataCom FlashLocalRegister GetRegisterData ReCreatReadVarList
RegistCallBackFuncIntf SetComInfo SetRegisterData _ZN7OrdelinC1Ev _ZN7OrdelinC2Ev"
actual=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $3 }' | sed 's/@.*//' | sort)
wanted=$(printf '%s\n' $expected | sort)
if [ "$actual" != "$wanted" ]; then
    echo "dynamic symbols differ from the interface:"
    printf 'expected:\n%s\nactual:\n%s\n' "$wanted" "$actual"
    exit 1
fi
echo "interface only: $(printf '%s\n' $expected | wc -l) symbols"
